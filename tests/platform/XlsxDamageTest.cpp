// Files that are not readable .xlsx workbooks: refused when opened, or a clear one-line error
// when the damage only shows while a sheet is read. Never a crash, a hang or memory run out.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/Workbook.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::platform {
namespace {

using test::HandPackage;
using test::TempDir;

HandPackage oneSheet(const std::string& sheetData) {
  HandPackage package;
  package.sheets = {test::worksheetXml(sheetData)};
  return package;
}

std::string written(const TempDir& dir, const test::ZipParts& parts, const std::string& name = "book.xlsx") {
  const std::string path = dir.file(name);
  test::writeZip(path, parts);
  return path;
}

// The message of the WorkbookError that reading sheet 1 raises; empty when none is raised.
std::string sheetError(const std::string& path) {
  auto book = openWorkbook(path);
  if (!book) return "(not opened)";
  try {
    book->readSheet(1);
  } catch (const WorkbookError& error) {
    return error.what();
  }
  return "";
}

TEST(XlsxDamage, WhatIsNoWorkbookIsNotOpened) {
  TempDir dir;
  EXPECT_FALSE(openWorkbook(""));
  EXPECT_FALSE(openWorkbook("   "));
  EXPECT_FALSE(openWorkbook(dir.file("missing.xlsx")));
  EXPECT_FALSE(openWorkbook(dir.path().string()));
  test::writeBytes(dir.file("text.xlsx"), "PK\x03\x04 but nothing of a zip archive follows");
  EXPECT_FALSE(openWorkbook(dir.file("text.xlsx")));
  test::writeBytes(dir.file("short.xlsx"), "PK");
  EXPECT_FALSE(openWorkbook(dir.file("short.xlsx")));
  // A zip archive that holds no workbook (a word processor document, say).
  EXPECT_FALSE(openWorkbook(written(dir, {{"word/document.xml", "<document/>"}}, "letter.docx")));
  // A workbook whose sheet list names a relationship that is not there.
  auto parts = oneSheet("").parts();
  test::part(parts, "xl/_rels/workbook.xml.rels") =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>";
  EXPECT_FALSE(openWorkbook(written(dir, parts, "norels.xlsx")));
  // Damaged XML in the parts read when the workbook is opened.
  HandPackage withStrings = oneSheet("");
  withStrings.sharedStrings = std::string("<sst xmlns=\"") + test::kMainNs + "\"><si><t>a</t></si></sst>";
  withStrings.styles = std::string("<styleSheet xmlns=\"") + test::kMainNs + "\"/>";
  EXPECT_TRUE(openWorkbook(written(dir, withStrings.parts(), "sound.xlsx")));
  for (const char* name : {"xl/workbook.xml", "xl/_rels/workbook.xml.rels", "_rels/.rels", "xl/sharedStrings.xml",
                           "xl/styles.xml"}) {
    auto broken = withStrings.parts();
    test::part(broken, name) += "<unclosed>";
    EXPECT_FALSE(openWorkbook(written(dir, broken, "broken.xlsx"))) << name;
  }
}

TEST(XlsxDamage, ATruncatedArchiveIsNotOpened) {
  TempDir dir;
  const std::string whole = test::readBytes(written(dir, oneSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>").parts()));
  ASSERT_FALSE(whole.empty());
  for (const std::size_t keep : {whole.size() / 2, whole.size() - 10, std::size_t{40}}) {
    test::writeBytes(dir.file("cut.xlsx"), whole.substr(0, keep));
    EXPECT_FALSE(openWorkbook(dir.file("cut.xlsx"))) << keep << " of " << whole.size() << " bytes";
  }
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
  auto parts = oneSheet(rows).parts();
  std::rotate(parts.begin(), std::find_if(parts.begin(), parts.end(), [](const auto& p) {
                return p.first == "xl/worksheets/sheet1.xml";
              }), parts.end());
  std::string bytes = test::readBytes(written(dir, parts));
  const std::string name = "xl/worksheets/sheet1.xml";
  const auto nameAt = bytes.find(name);
  ASSERT_NE(nameAt, std::string::npos);
  const std::size_t extra = static_cast<unsigned char>(bytes[nameAt - 2]) |
                            static_cast<std::size_t>(static_cast<unsigned char>(bytes[nameAt - 1])) << 8;
  const std::size_t data = nameAt + name.size() + extra;
  for (std::size_t i = data + 40; i < data + 200; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  test::writeBytes(dir.file("garbled.xlsx"), bytes);
  auto book = openWorkbook(dir.file("garbled.xlsx"));
  ASSERT_TRUE(book) << "only the sheet's data is damaged";
  EXPECT_THROW(book->readSheet(1), WorkbookError);
}

TEST(XlsxDamage, ADecompressionBombIsRefusedBeforeItInflates) {
  TempDir dir;
  const std::string path = dir.file("bomb.xlsx");
  // 300 MiB of blanks inside the sheet: about 300 KiB compressed.
  const std::string head = std::string("<worksheet xmlns=\"") + test::kMainNs + "\"><sheetData>";
  auto parts = oneSheet("").parts();
  parts.erase(std::find_if(parts.begin(), parts.end(), [](const auto& p) { return p.first == "xl/worksheets/sheet1.xml"; }));
  test::writeZipWithHugePart(path, parts, "xl/worksheets/sheet1.xml", head, ' ', std::int64_t{300} << 20);
  auto book = openWorkbook(path);
  ASSERT_TRUE(book);
  const auto start = std::chrono::steady_clock::now();
  const std::string message = sheetError(path);
  EXPECT_NE(message.find("xl/worksheets/sheet1.xml"), std::string::npos) << message;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the part was inflated";
}

TEST(XlsxDamage, AnAbsurdDeclaredSizeIsRefused) {
  TempDir dir;
  std::string bytes = test::readBytes(written(dir, oneSheet("").parts()));
  // Claim 2 GiB for the workbook part in the central directory.
  const std::string name = "xl/workbook.xml";
  bool patched = false;
  for (auto at = bytes.find("PK\x01\x02"); at != std::string::npos; at = bytes.find("PK\x01\x02", at + 4)) {
    if (bytes.compare(at + 46, name.size(), name) == 0 && bytes[at + 46 + name.size()] != '.') {
      bytes[at + 24] = '\xF0', bytes[at + 25] = '\xFF', bytes[at + 26] = '\xFF', bytes[at + 27] = '\x7F';
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  test::writeBytes(dir.file("absurd.xlsx"), bytes);
  EXPECT_FALSE(openWorkbook(dir.file("absurd.xlsx")));
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
    const std::string message = sheetError(written(dir, oneSheet(sheetData).parts()));
    EXPECT_NE(message.find("xl/worksheets/sheet1.xml"), std::string::npos) << sheetData << ": " << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
  auto parts = oneSheet("").parts();
  parts.erase(std::find_if(parts.begin(), parts.end(), [](const auto& p) { return p.first == "xl/worksheets/sheet1.xml"; }));
  EXPECT_NE(sheetError(written(dir, parts)).find("Sheet1"), std::string::npos);
  EXPECT_NE(sheetError(written(dir, oneSheet("<row r=\"1\"><c r=\"1A\"/></row>").parts())).find("Sheet1"), std::string::npos);
}

TEST(XlsxDamage, DocumentTypeDeclarationsAndEntitiesAreRefused) {
  TempDir dir;
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]>";
  const std::string external = "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>";
  const std::string body = std::string("<worksheet xmlns=\"") + test::kMainNs +
                           "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&d;&x;</t></is></c></row>"
                           "</sheetData></worksheet>";
  const std::string plain = std::string("<!DOCTYPE worksheet><worksheet xmlns=\"") + test::kMainNs +
                            "\"><sheetData/></worksheet>";
  for (const std::string& sheet : {laughs + body, external + body, plain}) {
    HandPackage package;
    package.sheets = {sheet};
    const std::string message = sheetError(written(dir, package.parts()));
    EXPECT_FALSE(message.empty()) << sheet;
    EXPECT_EQ(message.find("root:"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace morvane::platform
