// Files that are not readable .xlsx workbooks: refused when opened, or a clear one-line error
// when the damage only shows while a sheet is read. Never a crash, a hang or memory run out.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::test {
namespace {

using platform::openWorkbook;

ZipParts oneSheet(const std::string& sheetData) {
  HandPackage package;
  package.sheets = {worksheetXml(sheetData)};
  return package.parts();
}

ZipParts withoutSheetPart(ZipParts parts) {
  std::erase_if(parts, [](const auto& p) { return p.first == "xl/worksheets/sheet1.xml"; });
  return parts;
}

std::string written(const TempDir& dir, const ZipParts& parts, const std::string& name = "book.xlsx") {
  const std::string path = dir.file(name);
  writeZip(path, parts);
  return path;
}

std::string sheetError(const std::string& path) {
  try {
    auto book = openWorkbook(path);
    return test::sheetError(*book);
  } catch (const platform::WorkbookOpenError&) {
    return "(not opened)";
  }
}

TEST(XlsxDamage, WhatIsNoWorkbookIsNotOpened) {
  TempDir dir;
  const std::string whole = readBytes(written(dir, oneSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")));
  std::vector<std::string> paths = {"", "   ", dir.file("missing.xlsx"), dir.path().string(),
                                    // A zip archive that holds no workbook (a word processor document, say).
                                    written(dir, {{"word/document.xml", "<document/>"}}, "letter.docx")};
  for (const std::string& bytes : {std::string("PK\x03\x04 but nothing of a zip archive follows"), std::string("PK"),
                                   whole.substr(0, whole.size() / 2), whole.substr(0, whole.size() - 10),
                                   whole.substr(0, 40)}) {
    paths.push_back(dir.file("bad" + std::to_string(paths.size()) + ".xlsx"));
    writeBytes(paths.back(), bytes);
  }
  for (const std::string& path : paths) {
    EXPECT_THROW(openWorkbook(path), platform::WorkbookOpenError) << path;
  }
  // Damaged XML in the parts read when the workbook is opened.
  HandPackage withStrings;
  withStrings.sheets = {worksheetXml("")};
  withStrings.sharedStrings = std::string("<sst xmlns=\"") + kMainNs + "\"><si><t>a</t></si></sst>";
  withStrings.styles = std::string("<styleSheet xmlns=\"") + kMainNs + "\"/>";
  EXPECT_NO_THROW(openWorkbook(written(dir, withStrings.parts(), "sound.xlsx")));
  for (const char* name : {"xl/workbook.xml", "xl/_rels/workbook.xml.rels", "_rels/.rels", "xl/sharedStrings.xml",
                           "xl/styles.xml"}) {
    auto broken = withStrings.parts();
    part(broken, name) += "<unclosed>";
    EXPECT_THROW(openWorkbook(written(dir, broken, "broken.xlsx")), platform::WorkbookOpenError) << name;
  }
}

// Another program cutting the file short after it was opened changes nothing: the file is read
// into memory, never mapped (a mapped file cut short kills the reader with SIGBUS).
TEST(XlsxDamage, AWorkbookCutShortAfterItWasOpenedStillReads) {
  TempDir dir;
  const std::string path = written(dir, oneSheet("<row r=\"1\"><c r=\"A1\"><v>7</v></c></row>"));
  auto book = openWorkbook(path);
  std::filesystem::resize_file(path, 0);
  EXPECT_EQ(book->readSheet(1).text(1, 1), "7");
}

TEST(XlsxDamage, DamagedCompressedSheetDataRaisesAnError) {
  TempDir dir;
  // Varied content so that the sheet compresses into many bytes.
  std::string rows;
  unsigned seed = 12345;
  for (int r = 1; r <= 300; ++r) {
    rows += "<row r=\"" + std::to_string(r) + "\">";
    for (int c = 0; c < 5; ++c) {
      seed = seed * 1103515245u + 12345u;
      rows += "<c><v>" + std::to_string(seed % 1000003) + "</v></c>";
    }
    rows += "</row>";
  }
  // The sheet part last, so that garbling its data leaves the other parts whole.
  ZipParts parts = withoutSheetPart(oneSheet(""));
  parts.emplace_back("xl/worksheets/sheet1.xml", worksheetXml(rows));
  std::string bytes = readBytes(written(dir, parts));
  const std::string name = "xl/worksheets/sheet1.xml";
  const auto nameAt = bytes.find(name);
  ASSERT_NE(nameAt, std::string::npos);
  const std::size_t extra = static_cast<unsigned char>(bytes[nameAt - 2]) |
                            static_cast<std::size_t>(static_cast<unsigned char>(bytes[nameAt - 1])) << 8;
  const std::size_t data = nameAt + name.size() + extra;
  for (std::size_t i = data + 40; i < data + 200; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  writeBytes(dir.file("garbled.xlsx"), bytes);
  auto book = openWorkbook(dir.file("garbled.xlsx"));
  ASSERT_TRUE(book) << "only the sheet's data is damaged";
  EXPECT_THROW(book->readSheet(1), platform::WorkbookError);
}

TEST(XlsxDamage, ADecompressionBombIsRefusedBeforeItInflates) {
  TempDir dir;
  const std::string path = dir.file("bomb.xlsx");
  // 300 MiB of blanks inside the sheet: about 300 KiB compressed.
  const std::int64_t size = std::int64_t{300} << 20;
  const std::string head = std::string("<worksheet xmlns=\"") + kMainNs + "\"><sheetData>";
  writeZipWithHugePart(path, withoutSheetPart(oneSheet("")), "xl/worksheets/sheet1.xml", head, ' ', size);
  // Refused by its size, not by the XML parser after inflating all of it.
  const std::string message = sheetError(path);
  EXPECT_NE(message.find("xl/worksheets/sheet1.xml"), std::string::npos) << message;
  EXPECT_NE(message.find(std::to_string(size)), std::string::npos) << message;
}

TEST(XlsxDamage, AnAbsurdDeclaredSizeIsRefused) {
  TempDir dir;
  std::string bytes = readBytes(written(dir, oneSheet("")));
  // Claim 2 GiB for the workbook part in the central directory.
  const std::string name = "xl/workbook.xml";
  bool patched = false;
  for (auto at = bytes.find("PK\x01\x02"); at != std::string::npos; at = bytes.find("PK\x01\x02", at + 4)) {
    if (bytes.compare(at + 46, name.size(), name) == 0 && bytes[at + 46 + name.size()] != '.') {
      bytes.replace(at + 24, 4, "\xF0\xFF\xFF\x7F");
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  writeBytes(dir.file("absurd.xlsx"), bytes);
  EXPECT_THROW(openWorkbook(dir.file("absurd.xlsx")), platform::WorkbookOpenError);
}

TEST(XlsxDamage, DamageInASheetRaisesAOneLineErrorNamingThePart) {
  TempDir dir;
  const std::string cases[] = {
      "<row r=\"1\"><c r=\"A1\"><v>1</v></c>",                        // not closed
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>",           // no such shared string
      "<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>",                   // bad reference
      "<row r=\"one\"><c><v>1</v></c></row>",                          // bad row number
      "<row r=\"1\"><c r=\"A1\"><v>twelve</v></c></row>",              // bad number
      "<row r=\"1\"><c r=\"A1\" t=\"b\"><v>x</v></c></row>",            // bad boolean
  };
  for (const std::string& sheetData : cases) {
    const std::string message = sheetError(written(dir, oneSheet(sheetData)));
    EXPECT_NE(message.find("xl/worksheets/sheet1.xml"), std::string::npos) << sheetData << ": " << message;
    EXPECT_NE(message.find("Sheet1"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
  EXPECT_NE(sheetError(written(dir, withoutSheetPart(oneSheet("")))).find("Sheet1"), std::string::npos);
}

TEST(XlsxDamage, DocumentTypeDeclarationsAndEntitiesAreRefused) {
  TempDir dir;
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]>";
  const std::string external = "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>";
  const std::string body = std::string("<worksheet xmlns=\"") + kMainNs +
                           "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&d;&x;</t></is></c></row>"
                           "</sheetData></worksheet>";
  const std::string plain = std::string("<!DOCTYPE worksheet><worksheet xmlns=\"") + kMainNs +
                            "\"><sheetData/></worksheet>";
  for (const std::string& sheet : {laughs + body, external + body, plain}) {
    HandPackage package;
    package.sheets = {sheet};
    const std::string message = sheetError(written(dir, package.parts()));
    EXPECT_NE(message, "(no error)") << sheet;
    EXPECT_EQ(message.find("root:"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace morvane::test
