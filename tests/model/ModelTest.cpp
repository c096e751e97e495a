// The model's pieces: tables, references, texts, numbers, the loop over tables, and the keyed collection
// with the tag files it saves (layouts, type notations, settings).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "model/FieldReference.h"
#include "model/Number.h"
#include "model/Progress.h"
#include "model/Text.h"
#include "model/clsDBInfo.h"
#include "model/clsHash.h"
#include "model/clsXML.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

std::vector<TablePtr> named(const Texts& names) {
  std::vector<TablePtr> tables;
  for (const auto& name : names) {
    auto table = std::make_shared<clsTableInfo>();
    table->setName(name);
    tables.push_back(table);
  }
  return tables;
}

TEST(DefinitionModel, GetTableFindsTheFirstExactMatch) {
  clsDBInfo db;
  for (const auto& table : named({"Orders", "orders", "Orders"})) db.setTable(table);
  EXPECT_EQ(db.getTable("Orders"), db.getTables()[0]);
  for (const char* missing : {"ORDERS", "Orders ", ""}) EXPECT_EQ(db.getTable(missing), nullptr) << missing;
}

TEST(FieldReference, TheTwoFormsWithBlanksAroundTheParts) {
  const std::pair<const char*, const char*> good[] = {
      {"顧客.ID", "顧客|ID"}, {" 顧客 ( ID ) ", "顧客|ID"}, {"T(\xE3\x80\x80" "C)", "T|C"}, {"T . C", "T|C"}};
  for (const auto& [text, parts] : good) {
    const auto reference = parseReference(text);
    ASSERT_TRUE(reference) << text;
    EXPECT_EQ(reference->table + "|" + reference->column, parts);
  }
  for (const char* bad : {"", "顧客", "顧客.", ".ID", "dbo.T.C", "T(C", "T()", "T(C)x", "T(C)(D)", "T.(C)", " ( C)"}) {
    EXPECT_FALSE(parseReference(bad)) << bad;
  }
}

TEST(Text, BlanksAndTheTwoFoldsOfFullWidthForms) {
  for (const auto& [text, blank] : std::vector<std::pair<std::string, bool>>{
           {"", true}, {"  \xE3\x80\x80 ", true}, {"\t", false}, {" a ", false}}) {
    EXPECT_EQ(isBlank(text), blank) << text;
  }
  EXPECT_EQ(trimBlanks("\xE3\x80\x80 int \xE3\x80\x80") + "|" + trimSpaces("\xE3\x80\x80 int "), "int|\xE3\x80\x80 int");
  // Full-width: digits, minus, point, E, capital A, small z, then ideographic space and a kana.
  const std::string text =
      "Ab\xEF\xBC\x91\xEF\xBC\x8D\xEF\xBC\x8E\xEF\xBC\xA5\xEF\xBC\xA1\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2";
  EXPECT_EQ(foldText(text, TextFold::NumberToAscii), "Ab1-.E\xEF\xBC\xA1\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2");
  EXPECT_EQ(foldText(text, TextFold::LatinToLower),
            "ab\xEF\xBC\x91\xEF\xBC\x8D\xEF\xBC\x8E\xEF\xBD\x85\xEF\xBD\x81\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2");
  // A form cut off at the end is kept as it is.
  EXPECT_EQ(foldText("1\xEF\xBC", TextFold::NumberToAscii) + foldText("A\xEF\xBC", TextFold::LatinToLower), "1\xEF\xBC" "a\xEF\xBC");
}

// Half to even, decided by the text's own digits however many there are: nothing goes through a double.
TEST(NumberConversion, RoundsTheDecimalTextExactlyAndRejectsWhatIsNotAnInt32) {
  const std::pair<const char*, std::int32_t> numbers[] = {
      {" 7 ", 7}, {"1.5", 2}, {"2.5", 2}, {"0.5", 0}, {"-2.5", -2}, {"-1", -1}, {"+3", 3}, {".5", 0}, {"1e1", 10},
      {"\xEF\xBC\x93", 3}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"2.5000000000000001", 3},
      {"2.4999999999999999", 2}, {"3.5", 4}, {"2.50000000000000000000", 2}, {"-2.5000000000000001", -3},
      {"-3.5", -4}, {"0.49999999999999999999", 0}, {"0.5000000000000000001", 1}, {"2147483647.4999999", INT32_MAX},
      {"2147483646.5", 2147483646}, {"-2147483648.5", INT32_MIN}, {"-2147483648.4999999999", INT32_MIN},
      {"0002147483647", INT32_MAX}, {"0.0000", 0}, {"-0.5", 0}, {"25e-1", 2}, {"2500000000000000001e-18", 3},
      {"0.035e2", 4}, {"0.0025e3", 2}, {"214748364.74e1", INT32_MAX}, {"-214748364.85e1", INT32_MIN},
      {"1e-400", 0}, {"0e400", 0}, {" +1.5E+0 ", 2}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(toInt32(text), value) << text;
  for (const char* text : {"2147483648", "", "   ", "1a", ".", "1 2", "1e400", "2147483647.5", "2147483647.50000000001",
                           "-2147483648.5000000001", "-2147483649", "99999999999", "21474836480e-1", "214748364.75e1",
                           "1e10", "1e999999999999999999999", "2.5e", "2.5e+", "--1", "+-1", "1.2.3", "0x10", "1,5"}) {
    EXPECT_FALSE(toInt32(text)) << text;
  }
  EXPECT_TRUE(isNumeric("1e12") && !isNumeric("-"));
}

// The work fails (or throws) on the second table; the sink hears begin and end whatever happens. A cancel
// after a table is the writers' to show.
TEST(ForEachTable, EachTableStartsOnceInOrderAndCancelStopsBetweenTables) {
  const struct {
    Texts names;
    std::optional<std::size_t> cancelAfter;
    bool throws;
    Texts calls;
  } cases[] = {{{"顧客", "受注", "商品"}, {}, false, {"begin 3", "step 0 顧客", "step 1 受注", "step 2 商品", "end 2/1/0"}},
               {{"A"}, 0, false, {"begin 1", "end 0/0/1 cancelled"}},
               {{"A", "B", "C"}, {}, true, {"begin 3", "step 0 A", "step 1 B", "end 1/1/1"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.calls.back());
    test::RecordingProgress progress(c.cancelAfter), returned;
    std::size_t worked = 0;
    const auto work = [&](const clsTableInfo&) {
      if (++worked == 2 && c.throws) throw std::runtime_error("disk full");
      return worked != 2;
    };
    if (c.throws) {
      EXPECT_THROW(forEachTable(named(c.names), progress, work), std::runtime_error);
    } else {
      returned.end(forEachTable(named(c.names), progress, work));
      EXPECT_EQ(returned.calls().back(), c.calls.back()) << "the tally returned is the one the sink heard";
    }
    EXPECT_EQ(progress.calls(), c.calls);
    EXPECT_EQ(worked, c.calls.size() - 2);
  }
}

std::string pairsOf(const clsHash& hash) { return hash.GetAllKeys("|") + "=" + hash.GetAllItems("|"); }

TEST(KeyedCollection, AddRemovePositionsAndSplit) {
  // Letter case makes a different key, a key given again is replaced in place, both blank is nothing,
  // a blank item or key alone is stored, untrimmed.
  clsHash hash;
  for (const auto& [key, item] : {std::pair<std::string, std::string>{"a", "1"}, {"b", "2"}, {"A", "3"}, {"b", "20"},
                                  {"  ", ""}, {"\u3000", " "}, {"empty", ""}, {" ", "x"}}) hash.Add(key, item);
  EXPECT_EQ(pairsOf(hash), "a|b|A|empty| =1|20|3||x");
  EXPECT_EQ(hash.getCount(), 5);
  EXPECT_EQ(hash.getItem(" ") + hash.getKey("20") + hash.getKey("nothing"), "xb");
  hash.Remove("b");
  hash.Remove("missing");
  EXPECT_EQ(hash.getKey2(2) + hash.getItem2(2), "A3");
  for (std::int32_t at : {0, 5, -1, INT32_MIN, INT32_MAX}) EXPECT_EQ(hash.getKey2(at) + hash.getItem2(at), "") << at;
  for (const char* key : {"a", "c", " "}) hash.AddKey(key);  // an existing key's item emptied in place
  EXPECT_EQ(pairsOf(hash), "a|A|empty| |c=|3||x|");
  hash.RemoveAll();
  for (const char* item : {"x", " ", "y"}) hash.AddItem(item);
  EXPECT_EQ(pairsOf(hash), "1|2=x|y");
  hash.RemoveAll();
  hash.Add("2", "old");
  hash.AddItem("new");  // key "2" is count + 1: removed first, then "1" is appended
  EXPECT_EQ(pairsOf(hash), "1=new");

  // Split keeps inner and leading empty pieces only.
  for (const auto& [separator, text, pairs] : std::vector<std::array<const char*, 3>>{
           {",", "a,,b", "1|2|3=a||b"}, {",", "a,b,", "1|2=a|b"}, {",", ",a", "1|2=|a"}, {",", "abc", "1=abc"},
           {",", "   ", "="}, {",", " a , b ", "1|2= a | b "}, {"", "a,b", "1=a,b"}, {"::", "a::b::", "1|2=a|b"}}) {
    hash.Split(separator, text);
    EXPECT_EQ(pairsOf(hash), pairs) << text;
  }
}

// One line per pair in code page 932, values written as they are; a failed
// save keeps the old file (a full disk is the file replacement's to try), and a good one resets the error.
TEST(TagFile, SavedPairsReadBackAndAFailedSaveKeepsTheOldFile) {
  test::TempDir dir;
  const std::string values[] = {"文字", "", "a<b>&c, d", " leading and trailing ", "a,\"b\", c"};
  clsHash hash;
  for (std::size_t i = 0; i < std::size(values); ++i) hash.Add("k" + std::to_string(i), values[i]);
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("t.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")), "<k0>\x95\xb6\x8e\x9a</k0>\r\n<k1></k1>\r\n<k2>a<b>&c, d</k2>\r\n"
                                                "<k3> leading and trailing </k3>\r\n<k4>a,\"b\", c</k4>\r\n");
  ASSERT_TRUE(clsHash().fnSaveFileAsXml(dir.file("t.sfa")));
  EXPECT_EQ(fs::file_size(dir.file("t.sfa")), 0u);

  test::writeBytes(dir.file("t.sfa"), "old content");
  test::writeBytes(dir.file("locked.edf"), "locked content");
  fs::permissions(dir.file("locked.edf"), fs::perms::owner_read);
  hash.Add("char", "\xF0\x9F\x98\x80");  // U+1F600, not in code page 932
  EXPECT_FALSE(hash.fnSaveFileAsXml(dir.file("t.sfa")));
  EXPECT_NE(hash.getErrMsg(), "");
  hash.Add("char", "a");
  EXPECT_FALSE(hash.fnSaveFileAsXml(dir.file("locked.edf")));
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")) + "|" + test::readBytes(dir.file("locked.edf")), "old content|locked content");
  EXPECT_EQ(hash.getErrNo(), EACCES);  // the read-only file's refusal
  EXPECT_NE(hash.getErrMsg().find("locked.edf"), std::string::npos);
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("x.edf")));
  EXPECT_EQ(hash.getErrMsg() + std::to_string(hash.getErrNo()), "0");
  EXPECT_EQ(test::filesIn(dir.path()), (std::vector<std::string>{"locked.edf", "t.sfa", "x.edf"}));
}

// The first closed value whatever the line ends; files that cannot be read fail with their reason and
// clear the values read before.
TEST(TagFile, TheFirstClosedValueAndTheFilesRefused) {
  test::TempDir dir;
  clsXML reader;
  const auto tag = [&](const std::string& key) { return reader.fnTagData("<" + key + ">", "</" + key + ">"); };
  // The value of a, then those of b and c. A start tag seen again restarts the value; an end tag before
  // the start tag is no value; values are kept as a save writes them.
  const std::pair<std::string, std::string> cases[] = {
      {"<a>1</a>\r\n<a>2</a>\r\n", "1/"},  {"<a>x\r\n<a>y</a>\r\n", "y/"}, {"<a>1</a>\r<b>2</b>\r<c>3</c>\r", "1/23"},
      {"<a>one\r\ntwo\r\n\r\nthree</a>tail\r\n", "onetwothree/"}, {"<a>one\r\rtwo\n\nthree</a>", "onetwothree/"},
      {"<a>never closed\r\nmore\r\n", "/"}, {"</a>x<a>\r\n", "/"}, {"</a>\r\n<a>v</a>\r\n", "v/"},
      {"<a>\x93\xfa\x95\x74</a>\r\n", "日付/"}, {"<a> a<b>&c, \"d\" </a>\r\n<b></b>\r\n", " a<b>&c, \"d\" /"}};
  for (const auto& [bytes, values] : cases) {
    test::writeBytes(dir.file("f.txt"), bytes);
    ASSERT_TRUE(reader.fnReadFile(dir.file("f.txt"))) << bytes;
    EXPECT_EQ(tag("a") + "/" + tag("b") + tag("c"), values) << bytes;
  }
  EXPECT_EQ(reader.fnTagData("<a>", "a>"), "");  // end tag inside the start tag

  std::string huge = "<a>1</a>\r\n";
  huge.resize(clsXML::kMaxFileBytes + 1, 'x');
  test::writeBytes(dir.file("huge"), huge);
  test::writeBytes(dir.file("utf8.sfa"), "<a>\xE6\x97\xA5\xE4\xBB\x98</a>\r\n");
  // What is not a file is refused before it is opened: a FIFO would wait for a writer for ever.
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.file("device"));
  fs::create_symlink("/proc/self/environ", dir.file("proc"));
  const std::pair<const char*, const char*> refused[] = {  // "": the folder itself
      {"missing", "ありません"}, {"", "フォルダです"}, {"huge", "設定ファイルとしては大きすぎます (64 KiB まで)"},
      {"utf8.sfa", "932"}, {"pipe", ": ファイルではなく名前付きパイプ (FIFO) です"}, {"device", ": ファイルではなくデバイスです"},
      {"proc", ": 通常のファイルではなくシステムの疑似ファイル (/proc, /sys) です"}};
  for (const auto& [name, reason] : refused) {
    ASSERT_TRUE(reader.fnReadFile(dir.file("f.txt")));
    EXPECT_FALSE(reader.fnReadFile(dir.file(name))) << name;
    EXPECT_NE(reader.getErrMsg().find(reason), std::string::npos) << reader.getErrMsg();
    EXPECT_EQ(tag("a"), "") << name;
  }
}

}  // namespace
}  // namespace morvane
