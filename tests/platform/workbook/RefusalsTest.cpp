// Workbooks from strangers, .xls and .xlsx alike: what is refused when opened and what only when
// a sheet is read, each with the words of the one-line reason the user sees. Never a crash, a
// hang or memory run out.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/UnreadableXls.h"

namespace morvane::test {
namespace {

struct Refusal {
  std::string what;
  std::string bytes;
  std::vector<std::string> words;
};

void expectReason(const std::string& reason, const std::vector<std::string>& words) {
  for (const std::string& word : words) EXPECT_NE(reason.find(word), std::string::npos) << reason;
  EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
  EXPECT_EQ(reason.find("root:"), std::string::npos) << reason;  // no external entity was read
}

// A small sound workbook: one sheet with a shared string and numbers.
BiffWriter smallBook() {
  BiffWriter writer;
  const auto s = writer.addSheet("シート1");
  writer.labelSst(s, 2, 2, "顧客");
  writer.number(s, 5, 3, 1);
  writer.number(s, 6, 3, 2);
  return writer;
}

std::string patched(std::string bytes, std::size_t at, const std::string& with) {
  return bytes.replace(at, with.size(), with);
}

const std::string kSheetPart = "xl/worksheets/sheet1.xml", kSheetBroken = kSheetPart + " が壊れています: ";

ZipParts partsOf(const std::string& sheetXml) {
  HandPackage package;
  package.sheets = {sheetXml};
  return package.parts();
}

TEST(Refusals, WhatCannotBeOpenedSaysWhy) {
  std::vector<Refusal> rows;
  auto add = [&](const std::string& what, const std::string& bytes, const std::string& reason) {
    rows.push_back({what, bytes, {reason}});
  };
  TempDir dir;
  for (const auto& file : writeUnreadableXlsFiles(dir)) {
    add(file.what, readBytes(dir.file(file.name)), file.reason);
  }
  for (const auto& package : unreadablePackages()) {
    rows.push_back({package.label, package.bytes, package.words});
  }

  const std::string stream = smallBook().stream(), broken = "ブックの内容が壊れています: ";
  const std::size_t sst = recordsOfType(stream, 0x00FC)[0];
  const std::string noBof = broken + "ブックがBOFレコードで始まっていません";
  const std::string past = broken + "レコードの長さがストリームの外を指しています (位置 ";
  const std::string cut = broken + "レコードがデータの途中で終わっています";
  add("globals cut at 0", xlsOf(""), noBof);
  add("globals cut at 3", xlsOf(stream.substr(0, 3)),
      broken + "ブックのストリームがレコードの途中で終わっています (位置 0)");
  add("globals cut at 10", xlsOf(stream.substr(0, 10)), past + "0)");
  add("globals cut in the shared strings", xlsOf(stream.substr(0, sst + 7)), past + std::to_string(sst));
  add("no BOF first", xlsOf(stream.substr(4)), noBof);
  add("BIFF4 version word", xlsOf(patched(stream, 4, le16(0x0400))), "Excel 4.0 ワークシート (BIFF4)");
  add("BIFF3 version word", xlsOf(patched(stream, 4, le16(0x0300))), "BIFF3");
  add("unknown version word", xlsOf(patched(stream, 4, le16(0x0700))), "0x0700");
  add("globals record too long", xlsOf(patched(stream, sst + 2, le16(0xFFF0))), past + std::to_string(sst));
  // A string of 65535 characters whose CONTINUE records run on to the end of the stream, some
  // of them empty, the rest holding an option byte and nothing more.
  std::string endless = stream.substr(0, 20) + le16(0x00FC) + le16(13) + le32(1) + le32(1) + le16(0xFFFF) +
                        std::string(1, '\0') + "ab";
  for (int i = 0; i < 20000; ++i) endless += le16(0x003C) + (i % 2 ? le16(0) : le16(1) + "\x01");
  add("a CONTINUE chain that never ends", xlsOf(endless), cut);
  // A shared string no cell uses running past the table still stops the open.
  BiffWriter unused = smallBook();
  unused.labelSst(0, 200, 60, "使わない");
  const std::string unusedStream = unused.stream();
  const std::size_t at = unusedStream.find(std::string("\x7F\x4F\x8F\x30\x6A\x30\x44\x30", 8)) - 3;
  for (const unsigned count : {5u, 0xFFFFu}) {
    add("shared string of " + std::to_string(count), xlsOf(patched(unusedStream, at, le16(count))), cut);
  }
  for (const unsigned keyBits : {0u, 40u, 56u, 128u}) {
    add("wrong password, key of " + std::to_string(keyBits),
        xlsOf(BiffWriter::encrypted(smallBook().stream(), "secret", keyBits)),
        "パスワードで保護されています。パスワードなしで保存し直してから読み込んでください");
  }

  const std::string sound = soundXlsBytes();
  const std::string damaged = "複合ファイルの構造が壊れています";
  const std::string unreadable = "ストリーム「Workbook」を読めません";
  add("directory sector outside the file", patched(sound, 0x30, le32(0x00FFFFF0)), damaged);
  add("truncated", sound.substr(0, 700), damaged);
  const auto [listed, list] = withAllocationListBeyondTheHeader(sound);
  add("allocation sector outside", patched(listed, sectorAt(list), le32(0x00FFFFF0)), "割り当て表");
  add("allocation list lost", patched(listed, 0x44, le32(0xFFFFFFFE)), "割り当て表");
  add("more allocation sectors than sectors", patched(sound, 0x2C, le32(0x01000000)), "割り当て表");
  const auto [unpadded, lastSector] = withLastSectorUnpadded(sound);
  add("cut before the last sector", unpadded.substr(0, lastSector), unreadable);
  const std::uint32_t start = u32At(sound, workbookEntry(sound) + 0x74);
  add("chain ending before the stream", patched(sound, fatAt(sound, start), le32(0xFFFFFFFE)), unreadable);

  const std::string zip = xlsxOf("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  for (const std::string& bytes : {std::string("PK\x03\x04 but nothing of a zip archive follows"),
                                   zip.substr(0, zip.size() / 2), zip.substr(0, zip.size() - 10),
                                   zip.substr(0, 40)}) {
    add("zip cut to " + std::to_string(bytes.size()) + " bytes", bytes,
        "zip ファイルが壊れています: 中央ディレクトリが見つかりません (ファイルが途中で切れています)");
  }
  add("PK", "PK", "テキストファイルです (Excel のブックではありません)");
  add("a word processor document", zipBytes({{"word/document.xml", "<document/>"}}),
      "Word の文書 (.docx) で、Excel のブックではありません");
  HandPackage withStrings;
  withStrings.sheets = {worksheetXml("")};
  withStrings.sharedStrings = std::string("<sst xmlns=\"") + kMainNs + "\"><si><t>a</t></si></sst>";
  withStrings.styles = std::string("<styleSheet xmlns=\"") + kMainNs + "\"/>";
  for (const char* name :
       {"xl/workbook.xml", "xl/_rels/workbook.xml.rels", "_rels/.rels", "xl/sharedStrings.xml",
        "xl/styles.xml"}) {
    ZipParts parts = withStrings.parts();
    part(parts, name) += "<unclosed>";
    add(std::string("not well-formed: ") + name, zipBytes(parts), name);
  }
  add("2 GiB declared", patchDirectory(zip, "xl/workbook.xml", 24, le32(0x7FFFFFF0)), "xl/workbook.xml");

  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string reason = openError(fileOf(row.bytes));
    EXPECT_NE(reason, "(opened)");
    expectReason(reason, row.words);
  }
  EXPECT_EQ(openError(fileOf(smallBook().bytes())), "(opened)");
  EXPECT_EQ(openError(fileOf(zipBytes(withStrings.parts()))), "(opened)");
  // What a path may name besides a file.
  for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
           {"", "ブックのパスが指定されていません"},
           {"   ", "ブックのパスが指定されていません"},
           {dir.file("missing.xlsx"), "ファイルが見つかりません"},
           {dir.path().string(), "ファイルではなくフォルダです"},
           {fileOf(""), "ファイルが空です (0 バイト)"}}) {
    EXPECT_EQ(openError(path), reason) << path;
  }
}

TEST(Refusals, DamageInASheetShowsWhenItIsRead) {
  std::vector<Refusal> rows;
  auto add = [&](const std::string& what, const std::string& bytes, const std::string& reason) {
    rows.push_back({what, bytes, {reason}});
  };
  const std::string stream = smallBook().stream(), sheet = "シート「シート1」";
  // Inside the sheet: the workbook opens, the sheet does not read.
  const std::size_t lastNumber = recordsOfType(stream, 0x0203).back();
  for (const std::size_t cut : {lastNumber + 2, lastNumber + 9, stream.size() - 2}) {
    add("sheet cut at " + std::to_string(cut), xlsOf(stream.substr(0, cut)), sheet);
  }
  add("sheet record past the end", xlsOf(patched(stream, lastNumber + 2, le16(0xFFFF))),
      sheet + ": レコードの長さがストリームの外を指しています (位置 " + std::to_string(lastNumber) + ")");
  add("sheet without its EOF", xlsOf(stream.substr(0, stream.size() - 4)),
      sheet + "がEOFレコードなしで終わっています");
  for (const unsigned index : {1u, 0xFFFFFFFFu}) {
    BiffWriter writer = smallBook();
    writer.sheetRecord(0, 0x00FD, le16(7) + le16(1) + le16(0) + le32(index));
    add("shared string index " + std::to_string(index), writer.bytes(),
        sheet + "のセルB8が共有文字列表にない文字列 (番号 " + std::to_string(index) + ") を指しています");
  }
  for (const unsigned offset : {0xFFFFFFF0u, 0x7FFFFFFFu, 20u}) {
    BiffWriter writer = smallBook();
    writer.setSheetOffset(0, offset);
    add("sheet offset " + std::to_string(offset), writer.bytes(),
        sheet + (offset == 20 ? "がBOFレコードで始まっていません" : "の開始位置がストリームの外です"));
  }

  for (const char* sheetData :
       {"<row r=\"1\"><c r=\"A1\"><v>1</v></c>", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>",
        "<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>", "<row r=\"one\"><c><v>1</v></c></row>",
        "<row r=\"1\"><c r=\"A1\"><v>twelve</v></c></row>",
        "<row r=\"1\"><c r=\"A1\" t=\"b\"><v>x</v></c></row>"}) {
    rows.push_back({sheetData, xlsxOf(sheetData), {kSheetPart, "Sheet1"}});
  }
  // The sheet's XML starts on line 2 of the part: the bad end tag is on line 4.
  add("line of the damage", xlsxOf("<row r=\"1\">\n<c r=\"A1\"><v>1</v></c>\n<c r=\"B1\"><v>2</c>\n</row>"),
      "シート「Sheet1」を読めません: パーツ " + kSheetBroken +
          "XML の 4 行目: 終了タグ </c> が開始タグ <v> と合いません");
  // One item more than the table holds, on the quick path for plain items and on the full one.
  for (const std::string tail : {"<si><t>b</t></si>", "<si><t>&amp;</t></si>", "<si><r><t>b</t></r></si>"}) {
    add("shared string index past " + tail,
        xlsxOf("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>2</v></c></row>",
               std::string("<sst xmlns=\"") + kMainNs + "\"><si><t>a</t></si>" + tail + "</sst>"),
        "XML の 2 行目: 共有文字列 2 がありません");
  }
  ZipParts missing = partsOf(worksheetXml(""));
  std::erase_if(missing, [](const auto& p) { return p.first == kSheetPart; });
  add("sheet part missing", zipBytes(missing),
      "シート「Sheet1」を読めません: パーツ " + kSheetPart + " がありません");
  // Worksheet parts are inflated only when their sheet is read.
  add("checksum", patchDirectory(xlsxOf(""), kSheetPart, 16, le32(0)),
      kSheetBroken + "チェックサム (CRC) が合いません");
  // 300 MiB of blanks: refused by its size, not by the XML parser after inflating all of it.
  const std::string head = std::string("<worksheet xmlns=\"") + kMainNs + "\"><sheetData>";
  add("decompression bomb", zipBytes(missing, kSheetPart, head, ' ', 300 << 20),
      kSheetPart + " が大きすぎます (314572800 バイト、上限は 268435456 バイト)");
  // Varied content so that the sheet compresses into many bytes; the sheet part last, so that
  // garbling its data leaves the other parts whole.
  std::string many;
  unsigned seed = 12345;
  for (int i = 0; i < 1500; ++i) {
    many += "<c><v>" + std::to_string((seed = seed * 1103515245u + 12345u) % 1000003) + "</v></c>";
  }
  ZipParts garbledParts = missing;
  garbledParts.emplace_back(kSheetPart, worksheetXml("<row r=\"1\">" + many + "</row>"));
  std::string garbled = zipBytes(garbledParts);
  const std::size_t local = directoryField(garbled, kSheetPart, 42);
  const std::size_t data = local + 30 + u16At(garbled, local + 26) + u16At(garbled, local + 28);
  for (std::size_t i = data + 40; i < data + 200; ++i) garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
  add("garbled deflate data", garbled, kSheetBroken + "圧縮データが壊れています");
  // Document type declarations: entity expansion, an external entity, a plain one.
  const std::string body = std::string("<worksheet xmlns=\"") + kMainNs +
                           "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&d;&x;</t></is></c>"
                           "</row></sheetData></worksheet>";
  for (const std::string& xml :
       {"<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]>" + body,
        "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + body,
        std::string("<!DOCTYPE worksheet><worksheet xmlns=\"") + kMainNs + "\"><sheetData/></worksheet>"}) {
    add(xml.substr(0, 60), zipBytes(partsOf(xml)), "XML の 1 行目: 文書型宣言 (DOCTYPE) があります");
  }

  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string reason = errorOf([&] {
      const auto book = platform::openWorkbook(fileOf(row.bytes));
      EXPECT_NE(errorOf([&] { book->readSheet(1); }, "(no error)"), "(no error)");
      expectReason(errorOf([&] { book->readSheet(1); }), row.words);
    });
    EXPECT_EQ(reason, "") << "not opened";
  }
}

// Another program cutting the file short after it was opened changes nothing: the file is read
// into memory, never mapped (a mapped file cut short kills the reader with SIGBUS).
TEST(Refusals, AWorkbookCutShortAfterItWasOpenedStillReads) {
  const std::string xlsx = xlsxOf("<row r=\"3\"><c r=\"C3\" t=\"inlineStr\"><is><t>顧客</t></is></c></row>");
  for (const std::string& bytes : {xlsx, smallBook().bytes()}) {
    const std::string path = fileOf(bytes);
    const auto book = platform::openWorkbook(path);
    std::filesystem::resize_file(path, 0);
    EXPECT_EQ(book->readSheet(1).text(3, 3), "顧客");
  }
}

}  // namespace
}  // namespace morvane::test
