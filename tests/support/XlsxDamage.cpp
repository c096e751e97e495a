#include "tests/support/XlsxDamage.h"

#include <stdexcept>

#include "tests/support/TempDir.h"

namespace morvane::test {
namespace {

std::string le32(std::uint32_t v) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i) & 0xFF);
  return out;
}

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

HandPackage oneSheet() {
  HandPackage package;
  package.sheets = {worksheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is></c></row>")};
  return package;
}

std::string withWorkbook(const std::string& xml) {
  ZipParts parts = oneSheet().parts();
  part(parts, "xl/workbook.xml") = xml;
  return zipBytes(parts);
}

const std::string kWorkbookHead = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<workbook xmlns=\"") + kMainNs +
                                  "\" xmlns:r=\"" + kRelNs + "\">\n";

}  // namespace

std::string zipBytes(const ZipParts& parts) {
  TempDir dir;
  writeZip(dir.file("p.zip"), parts);
  return readBytes(dir.file("p.zip"));
}

std::string patchDirectory(std::string zip, const std::string& entry, std::size_t field, const std::string& bytes) {
  for (auto at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4)) {
    const std::size_t nameLength = static_cast<unsigned char>(zip[at + 28]) | static_cast<unsigned char>(zip[at + 29]) << 8;
    if (zip.compare(at + 46, nameLength, entry) == 0 && nameLength == entry.size()) {
      zip.replace(at + field, bytes.size(), bytes);
      return zip;
    }
  }
  throw std::runtime_error("no directory entry " + entry);
}

std::vector<UnreadablePackage> unreadablePackages() {
  std::vector<UnreadablePackage> cases;
  const std::string sound = zipBytes(oneSheet().parts());
  auto directoryField = [&](const std::string& entry, std::size_t field) {
    for (auto at = sound.find("PK\x01\x02"); at != std::string::npos; at = sound.find("PK\x01\x02", at + 4)) {
      if (sound.compare(at + 46, entry.size(), entry) == 0 && sound[at + 46 + entry.size()] != '.') {
        return u32At(sound, at + field);
      }
    }
    throw std::runtime_error("no directory entry " + entry);
  };
  const std::uint32_t crc = directoryField("xl/workbook.xml", 16);
  const std::uint32_t size = directoryField("xl/workbook.xml", 24);

  cases.push_back({"zip without workbook", zipBytes({{"notes/readme.txt", "hello"}}), {"zip", "Excel のブック"}});
  cases.push_back({"word document",
                   zipBytes({{"_rels/.rels",
                              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                              "<Relationship Id=\"rId1\" Type=\"" + std::string(kRelNs) +
                                  "/officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
                             {"word/document.xml",
                              "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"/>"}}),
                   {"Word"}});
  cases.push_back({"opendocument spreadsheet",
                   zipBytes({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                             {"content.xml", "<office:document-content/>"}}),
                   {".ods"}});
  cases.push_back({"binary workbook",
                   zipBytes({{"_rels/.rels",
                              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                              "<Relationship Id=\"rId1\" Type=\"" + std::string(kRelNs) +
                                  "/officeDocument\" Target=\"xl/workbook.bin\"/></Relationships>"},
                             {"xl/workbook.bin", std::string("\x83\x01\x00", 3)}}),
                   {".xlsb"}});
  cases.push_back({"checksum", patchDirectory(sound, "xl/workbook.xml", 16, le32(crc ^ 1)), {"xl/workbook.xml", "CRC"}});
  cases.push_back({"size smaller", patchDirectory(sound, "xl/workbook.xml", 24, le32(size - 1)), {"xl/workbook.xml", "サイズ"}});
  cases.push_back({"size larger", patchDirectory(sound, "xl/workbook.xml", 24, le32(size + 7)), {"xl/workbook.xml", "サイズ"}});
  cases.push_back({"cut short", sound.substr(0, sound.size() * 2 / 3), {"途中で切れています"}});
  // The deflate data itself cut short, and one of its blocks made invalid (a reserved block type).
  const std::uint32_t compressed = directoryField("xl/workbook.xml", 20);
  cases.push_back({"deflate data cut short", patchDirectory(sound, "xl/workbook.xml", 20, le32(compressed / 2)),
                   {"xl/workbook.xml", "圧縮データが途中で切れています"}});
  {
    std::string bad = sound;
    const std::size_t local = directoryField("xl/workbook.xml", 42);
    const auto u16At = [&](std::size_t at) {
      return static_cast<std::size_t>(static_cast<unsigned char>(bad[at]) | static_cast<unsigned char>(bad[at + 1]) << 8);
    };
    bad[local + 30 + u16At(local + 26) + u16At(local + 28)] = static_cast<char>(0x07);  // final block, type 3
    cases.push_back({"deflate data damaged", bad, {"xl/workbook.xml", "圧縮データが壊れています"}});
  }
  cases.push_back({"over the size limit", patchDirectory(sound, "xl/workbook.xml", 24, le32(300u << 20)),
                   {"xl/workbook.xml", "大きすぎます"}});
  cases.push_back({"encrypted entry", patchDirectory(sound, "xl/workbook.xml", 8, std::string("\x01\x00", 2)),
                   {"xl/workbook.xml", "暗号化"}});
  cases.push_back({"compression method", patchDirectory(sound, "xl/workbook.xml", 10, std::string("\x0E\x00", 2)),
                   {"xl/workbook.xml", "圧縮方式"}});
  {
    HandPackage package = oneSheet();
    package.sharedStrings = std::string("<sst xmlns=\"") + kMainNs + "\"/>";
    ZipParts parts = package.parts();
    std::erase_if(parts, [](const auto& p) { return p.first == "xl/sharedStrings.xml"; });
    cases.push_back({"missing part", zipBytes(parts), {"xl/sharedStrings.xml", "ありません"}});
  }
  cases.push_back({"not well-formed",
                   withWorkbook(kWorkbookHead + "<sheets>\n<sheet name=\"a\" sheetId=\"1\" r:id=\"rId1\"/>\n</sheet>\n"),
                   {"xl/workbook.xml", "5 行目", "</sheet>", "<sheets>"}});
  cases.push_back({"Excel 2007 beta",
                   withWorkbook("<workbook xmlns=\"http://schemas.microsoft.com/office/excel/2006/2\"><sheets/></workbook>"),
                   {"ベータ版"}});
  // Bombs for the scanner: nesting, attributes, namespace declarations; a duplicate among many
  // attributes; two sheets naming one part (it would be inflated for each).
  std::string deep, many, bindings, duplicate;
  for (int i = 0; i < 300; ++i) deep += "<a>";
  for (int i = 0; i < 1100; ++i) many += " a" + std::to_string(i) + "=\"\"";
  for (int i = 0; i < 200; ++i) bindings += " xmlns:p" + std::to_string(i) + "=\"u\"";
  for (int i = 0; i < 20; ++i) duplicate += " b" + std::to_string(i % 19) + "=\"\"";
  cases.push_back({"deep nesting", withWorkbook(kWorkbookHead + deep), {"xl/workbook.xml", "入れ子が深すぎます (256 段まで)"}});
  cases.push_back({"many attributes", withWorkbook(kWorkbookHead + "<sheets" + many + "/></workbook>"),
                   {"xl/workbook.xml", "<sheets> の属性が多すぎます (1024 個まで)"}});
  cases.push_back({"many namespaces", withWorkbook(kWorkbookHead + "<sheets" + bindings + "/></workbook>"),
                   {"xl/workbook.xml", "名前空間の宣言が多すぎます"}});
  cases.push_back({"duplicate attribute", withWorkbook(kWorkbookHead + "<sheets" + duplicate + "/></workbook>"),
                   {"xl/workbook.xml", "属性 b0 が二度あります"}});
  cases.push_back({"sheets sharing a part",
                   withWorkbook(kWorkbookHead + "<sheets><sheet name=\"a\" sheetId=\"1\" r:id=\"rId1\"/>"
                                                "<sheet name=\"b\" sheetId=\"2\" r:id=\"rId1\"/></sheets></workbook>"),
                   {"シート「a」とシート「b」が同じパーツ xl/worksheets/sheet1.xml を指しています"}});
  cases.push_back({"document type", withWorkbook("<!DOCTYPE workbook>\n" + kWorkbookHead + "</workbook>"),
                   {"xl/workbook.xml", "文書型宣言"}});
  cases.push_back({"undefined entity", withWorkbook(kWorkbookHead + "<sheets>&nbsp;</sheets></workbook>"),
                   {"xl/workbook.xml", "&nbsp;"}});
  {
    HandPackage package = oneSheet();
    package.sharedStrings = std::string("<sst xmlns=\"") + kMainNs + "\" uniqueCount=\"400000000\"><si/></sst>";
    cases.push_back({"string count", zipBytes(package.parts()), {"xl/sharedStrings.xml", "400000000"}});
  }
  return cases;
}

}  // namespace morvane::test
