// Cell values as text, code page 932, UTF-8, output encodings and file names; replacing a file keeps
// what the user set on it, and a failure is never silent nor leaves a partial file.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/files/Files.h"
#include "platform/text/CellText.h"
#include "platform/text/Cp932.h"
#include "platform/text/OutputEncoding.h"
#include "platform/text/Utf8.h"
#include "platform/text/VisibleText.h"
#include "platform/workbook/Workbook.h"
#include "tests/support/TempDir.h"

namespace morvane::platform {
namespace {

TEST(CellText, NumbersDateSerialsAndDateFormats) {
  const std::pair<double, const char*> numbers[] = {
      {10, "10"}, {1.5, "1.5"}, {0.1 + 0.2, "0.3"}, {-0.0, "0"}, {-12.25, "-12.25"}, {1e15, "1E+15"},
      {123456789012345.0, "123456789012345"}, {1234567890123456.0, "1.23456789012346E+15"},
      {0.00001, "0.00001"}, {0.000001, "1E-06"}, {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0 * 100, "66.6666666666667"}};
  for (const auto& [value, text] : numbers) EXPECT_EQ(formatNumber(value), text) << text;
  const std::tuple<double, bool, const char*> dates[] = {  // serial, in the 1904 system, text
      {45292, false, "2024/01/01"}, {45292.5, false, "2024/01/01 12:00:00"}, {0.75, false, "18:00:00"},
      {1, false, "1900/01/01"}, {60, false, "1900/02/29"}, {61, false, "1900/03/01"}, {43830, true, "2024/01/01"},
      {45292.99999999, false, "2024/01/02"}, {45292.000005, false, "2024/01/01"},
      {45292.4999943, false, "2024/01/01 12:00:00"}, {45292.4999936, false, "2024/01/01 11:59:59"}};
  for (const auto& [serial, in1904, text] : dates) EXPECT_EQ(formatDateSerial(serial, in1904), text) << text;
  EXPECT_THROW(formatDateSerial(-1, false), WorkbookError);
  // Which number formats are dates.
  for (const int id : {14, 21, 22, 45, 57}) EXPECT_TRUE(isBuiltinDateFormat(id)) << id;
  for (const int id : {0, 2, 10, 49}) EXPECT_FALSE(isBuiltinDateFormat(id)) << id;
  for (const char* code : {"yyyy/m/d", "[$-411]ggge\"年\"m\"月\"d\"日\"", "[h]:mm", "h:mm AM/PM"}) {
    EXPECT_TRUE(isDateFormatCode(code)) << code;
  }
  for (const char* code : {"0.00", "General", "\"day\" 0", "[Red]0.00", "0.00E+00", "#,##0;[Red]-#,##0"}) {
    EXPECT_FALSE(isDateFormatCode(code)) << code;
  }
}

TEST(Cp932AndUtf8, RoundTripsWhatItHoldsAndRefusesTheRest) {
  // ～ ① 髙 and half-width katakana ｶﾅ, which plain Shift_JIS rejects, and the ideographic space.
  const std::pair<std::string, std::string> held[] = {
      {"\xEF\xBD\x9E\xE2\x91\xA0\xE9\xAB\x99\xEF\xBD\xB6\xEF\xBE\x85", "\x81\x60\x87\x40\xFB\xFC\xB6\xC5"},
      {"\xE3\x80\x80", "\x81\x40"}, {"\xE3\x82\xAB\xE3\x83\x8A", "\x83\x4A\x83\x69"}, {"a\\~", "a\\~"}};
  for (const auto& [utf8, bytes] : held) {
    EXPECT_EQ(toCp932(utf8), bytes) << utf8;
    EXPECT_EQ(fromCp932(bytes), utf8) << utf8;
    EXPECT_TRUE(fitsCp932(utf8)) << utf8;
  }
  // 鷗 and an emoji are outside code page 932; broken UTF-8 is refused too.
  for (const std::string bad : {"a\xF0\x9F\x98\x80", "\xE9\xB7\x97", "\xFF", "ok\xC3("}) {
    EXPECT_THROW(toCp932(bad), Cp932Error) << bad;
    EXPECT_FALSE(fitsCp932(bad)) << bad;
  }
  EXPECT_THROW(fromCp932("\x81"), Cp932Error);
  EXPECT_EQ(toCp932WithCharRefs("a\xF0\x9F\x98\x80\xE3\x81\x82"), "a&#x1F600;\x82\xA0");
  // UTF-8 decoding is strict, and UTF-16 pairs may span pushes.
  char32_t code = 0;
  EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80", code), 4u);
  EXPECT_EQ(code, U'\U0001F600');
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x80", "\x80"}) {
    EXPECT_EQ(decodeUtf8(bad, code), 0u) << bad;
  }
  Utf16ToUtf8 text;
  for (char16_t unit : {u'a', char16_t(0xD83D), char16_t(0xDE00), char16_t(0xDC00), char16_t(0xD800)}) text.push(unit);
  EXPECT_EQ(text.take(), "a\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(OutputEncoding, NamesOfTheCommandLineOnlyAndTheBytesOfEachCode) {
  EXPECT_TRUE(parseCharset("cp932") == Charset::Cp932 && parseCharset("utf-8") == Charset::Utf8 &&
              parseCharset("utf-8-bom") == Charset::Utf8Bom && parseLineEnd("crlf") == LineEnd::CrLf &&
              parseLineEnd("lf") == LineEnd::Lf);
  for (const char* other : {"", "UTF-8", "utf8", "sjis", "utf-8-BOM", "CRLF", "cr", "LF"}) {
    EXPECT_FALSE(parseCharset(other) || parseLineEnd(other)) << other;
  }
  EXPECT_EQ(charsetLabel(Charset::Cp932), "Shift_JIS");
  EXPECT_EQ(charsetLabel(Charset::Utf8Bom), "UTF-8");
  const std::string kana = "A \xE3\x82\xAB\xE3\x83\x8A\r\n";
  const std::string lines = "a\r\nb\rc\r\n\r\n";
  const OutputEncoding cp932{}, utf8{Charset::Utf8, LineEnd::CrLf}, bom{Charset::Utf8Bom, LineEnd::CrLf};
  // Text, encoding, whole file or not, bytes: the mark opens a file only; LF takes a line end's CR only.
  const std::tuple<std::string, OutputEncoding, bool, std::string> cases[] = {
      {kana, cp932, true, "A \x83\x4A\x83\x69\r\n"}, {kana, utf8, true, kana}, {kana, bom, true, "\xEF\xBB\xBF" + kana},
      {kana, bom, false, kana}, {lines, {Charset::Cp932, LineEnd::Lf}, false, "a\nb\rc\n\n"},
      {lines, {Charset::Utf8, LineEnd::Lf}, false, "a\nb\rc\n\n"}, {lines, cp932, false, lines},
      {"end\r", {Charset::Utf8, LineEnd::Lf}, false, "end\r"}, {"\xE9\xB7\x97\r\n", utf8, true, "\xE9\xB7\x97\r\n"}};
  for (const auto& [text, encoding, file, bytes] : cases) {
    EXPECT_EQ(file ? encodeFile(text, encoding) : encodeText(text, encoding), bytes) << text;
  }
  EXPECT_EQ(encodeFile("\xF0\x9F\x98\x80", {}, true), "&#x1F600;");
  try {
    encodeFile("\xE9\xB7\x97", {});
    ADD_FAILURE() << "code page 932 took 鷗";
  } catch (const Cp932Error& error) {
    EXPECT_NE(std::string(error.what()).find("U+9DD7"), std::string::npos) << error.what();
  }
  // Broken UTF-8 is refused in UTF-8 too, not copied through.
  EXPECT_THROW(encodeFile("ok\xC3(", {Charset::Utf8, LineEnd::Lf}), Cp932Error);
  EXPECT_THROW(encodeFile("\xED\xA0\x80", bom), Cp932Error);
}

TEST(VisibleText, ControlCharactersBecomeEscapesAndTheRestIsKept) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x1B[31mred", "\\x1B[31mred"}, {"two\nlines\r\n", "two\\nlines\\r\\n"}, {"a\tb", "a\\tb"},
      {std::string("nul\0x", 5), "nul\\x00x"}, {"\x01\x1F\x7F", "\\x01\\x1F\\x7F"},
      {"\xC2\x9B" "31m", "\\u009B31m"},                        // the one-character CSI
      {"\xC2\x80\xC2\x9F\xC2\xA0", "\\u0080\\u009F\xC2\xA0"},  // C1 ends before U+00A0
      {"\xFF" "a\xE3\x81", "\\xFFa\\xE3\\x81"},                // bytes that are not UTF-8
      {"受注明細 ｶﾅ 𠮷 \\x1B", "受注明細 ｶﾅ 𠮷 \\x1B"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(visibleText(text), shown) << shown;
}

TEST(Files, SafeFileStems) {
  for (const char* safe : {"顧客", "a.b", "..a"}) EXPECT_TRUE(isSafeFileStem(safe)) << safe;
  for (const std::string& unsafe : {std::string(), std::string("."), std::string(".."), std::string("a/b"),
                                    std::string("a\\b"), std::string("a\0b", 3)}) {
    EXPECT_FALSE(isSafeFileStem(unsafe)) << unsafe;
  }
}

namespace fs = std::filesystem;
using namespace test;
using Names = std::vector<std::string>;

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// The message of the FileError that replacing the file throws; empty when it does not throw.
std::string failureOf(const std::string& path, const std::string& bytes) {
  try {
    replaceFile(path, bytes);
    return {};
  } catch (const FileError& error) {
    return error.what();
  }
}

TEST(ReplaceFile, ModesAreKeptReadOnlyFilesRefusedAndNamesUpToTheLongestLegalOneWritten) {
  TempDir dir;
  const std::string locked = dir.file("locked.sql");
  writeBytes(locked, "old");
  ::chmod(locked.c_str(), 0444);
  const std::string reason = failureOf(locked, "new");
  EXPECT_NE(reason.find(locked + ": 読み取り専用"), std::string::npos) << reason;
  EXPECT_EQ(readBytes(locked), "old");
  for (const mode_t mode : {0600u, 0604u, 0755u}) {
    const std::string path = dir.file("kept-" + std::to_string(mode));
    writeBytes(path, "old");
    ::chmod(path.c_str(), mode);
    replaceFile(path, "new");
    replaceFile(path, "newer");
    EXPECT_EQ(modeOf(path), mode) << std::oct << mode;
    EXPECT_EQ(readBytes(path), "newer");
  }
  // A new file gets what the umask leaves of 0666, like any other.
  for (const mode_t mask : {022u, 077u}) {
    const mode_t previous = ::umask(mask);
    replaceFile(dir.file("new-" + std::to_string(mask)), "x");
    ::umask(previous);
    EXPECT_EQ(modeOf(dir.file("new-" + std::to_string(mask))), 0666u & ~mask) << std::oct << mask;
  }
  EXPECT_NE(failureOf(dir.file("missing/a.txt"), "x"), "");
  {
    PendingFile abandoned(dir.file("kept-384"));  // a write given up before its commit
    abandoned.write("partial");
  }
  EXPECT_EQ(readBytes(dir.file("kept-384")), "newer");
  EXPECT_EQ(filesIn(dir.path()).size(), 6u);  // and nothing left aside
  // The temporary name is hidden and never longer than the longest legal name.
  std::string japanese = "kk";  // then 84 three-byte kana: the longest stem would end inside one
  while (japanese.size() < 254) japanese += "\xE3\x81\x82";
  for (const std::string& name : {std::string(244, 'n'), std::string(245, 'n'), std::string(255, 'n'), japanese}) {
    SCOPED_TRACE(std::to_string(name.size()) + " bytes");
    const std::string path = dir.file(name);
    writeBytes(path, "old");
    PendingFile pending(path);
    const std::string temp = fs::path(pending.temporaryPath()).filename().string();
    const std::size_t stem = name.size() <= 244 ? name.size() : name.front() == 'k' ? 242 : 244;
    EXPECT_EQ(temp.substr(0, stem + 5), "." + name.substr(0, stem) + ".tmp") << temp;
    EXPECT_EQ(temp.size(), stem + 11) << temp;
    pending.write("new");
    EXPECT_EQ(readBytes(path), "old");  // untouched until committed
    pending.commit();
    EXPECT_EQ(readBytes(path), "new");
  }
  EXPECT_EQ(filesIn(dir.path()).size(), 10u);
  EXPECT_NE(failureOf(dir.file(std::string(256, 'n')), "x").find("ファイル名が長すぎます"), std::string::npos);
  // A folder that went away before the commit is reported with the file.
  fs::create_directory(dir.path() / "out");
  PendingFile pending(dir.file("out/a.sql"));
  pending.write("x");
  fs::rename(dir.path() / "out", dir.path() / "moved");
  EXPECT_THROW(pending.commit(), FileError);
  EXPECT_FALSE(fs::exists(dir.file("out/a.sql")));
}

TEST(ReplaceFile, SymbolicLinksAreFollowedAndWhatIsNoRegularFileIsRefused) {
  TempDir dir;
  for (const char* folder : {"real", "out"}) fs::create_directories(dir.path() / folder);
  const std::string target = dir.file("real/a.sql");
  writeBytes(target, "old");
  ::chmod(target.c_str(), 0640);
  fs::create_symlink("../real/a.sql", dir.path() / "out/a.sql");  // relative to the link's folder
  fs::create_symlink(dir.path() / "out/a.sql", dir.path() / "chain.sql");
  replaceFile(dir.file("chain.sql"), "new");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "chain.sql") && fs::is_symlink(dir.path() / "out/a.sql"));
  EXPECT_EQ(readBytes(target), "new");
  EXPECT_EQ(modeOf(target), 0640u);
  EXPECT_EQ(filesIn(dir.path() / "real"), (Names{"a.sql"}));
  // A link that leads nowhere yet creates the file it names.
  fs::create_symlink("real/b.sql", dir.path() / "dangling.sql");
  replaceFile(dir.file("dangling.sql"), "b");
  EXPECT_EQ(readBytes(dir.file("real/b.sql")), "b");
  // Through a link to a read-only file, a folder, a link loop, a named pipe: refused, by name.
  ::chmod(target.c_str(), 0444);
  fs::create_symlink("real", dir.path() / "folder.sql");
  fs::create_symlink("loop2.sql", dir.path() / "loop1.sql");
  fs::create_symlink("loop1.sql", dir.path() / "loop2.sql");
  ASSERT_EQ(::mkfifo(dir.file("pipe.sql").c_str(), 0644), 0);
  for (const char* name : {"chain.sql", "folder.sql", "loop1.sql", "pipe.sql"}) {
    EXPECT_NE(failureOf(dir.file(name), "x").find(dir.file(name) + ": "), std::string::npos) << name;
  }
  EXPECT_EQ(readBytes(target), "new");
  EXPECT_TRUE(fs::is_directory(dir.path() / "real") && fs::is_fifo(dir.file("pipe.sql")));
}

// A tmpfs of 64 KiB fills up; only root may mount one, so elsewhere the case is skipped.
TEST(ReplaceFile, AFullDiskIsReportedAndTheOldFileStays) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  TempDir dir;
  const fs::path disk = dir.path() / "disk";
  fs::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "tmpfs cannot be mounted here: " << std::strerror(errno);
  }
  struct Unmount {
    const fs::path& at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  const std::string path = (disk / "a.sql").string();
  writeBytes(path, "old");
  const std::string reason = failureOf(path, std::string(1 << 20, 'x'));
  EXPECT_NE(reason.find(path + ": ディスクに空きがありません"), std::string::npos) << reason;
  EXPECT_EQ(readBytes(path), "old");
  EXPECT_EQ(filesIn(disk), (Names{"a.sql"}));
}

}  // namespace
}  // namespace morvane::platform
