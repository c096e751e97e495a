#include "tests/support/XlsxDamage.h"

#include <stdexcept>

#include "tests/support/BiffWriter.h"

namespace morvane::test {
namespace {

std::size_t directoryRecord(const std::string& zip, const std::string& entry) {
  for (auto at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4)) {
    if (u16At(zip, at + 28) == entry.size() && zip.compare(at + 46, entry.size(), entry) == 0) return at;
  }
  throw std::runtime_error("no directory entry " + entry);
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

// A package whose office document is some other program's.
std::string officeDocument(const std::string& target, const std::string& content) {
  return zipBytes({{"_rels/.rels",
                    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"" + std::string(kRelNs) +
                        "/officeDocument\" Target=\"" + target + "\"/></Relationships>"},
                   {target, content}});
}

const std::string kHead = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<workbook xmlns=\"") +
                          kMainNs + "\" xmlns:r=\"" + kRelNs + "\">\n";

}  // namespace

std::string patchDirectory(std::string zip, const std::string& entry, std::size_t field,
                           const std::string& bytes) {
  return zip.replace(directoryRecord(zip, entry) + field, bytes.size(), bytes);
}

std::uint32_t directoryField(const std::string& zip, const std::string& entry, std::size_t field) {
  return u32At(zip, directoryRecord(zip, entry) + field);
}

std::vector<UnreadablePackage> unreadablePackages() {
  const std::string sound = zipBytes(oneSheet().parts()), wb = "xl/workbook.xml";
  const std::uint32_t size = directoryField(sound, wb, 24);
  auto patched = [&](std::size_t field, const std::string& with) {
    return patchDirectory(sound, wb, field, with);
  };
  // A reserved block type in the first deflate block of the workbook part.
  std::string badDeflate = sound;
  const std::size_t local = directoryField(sound, wb, 42);
  badDeflate[local + 30 + u16At(sound, local + 26) + u16At(sound, local + 28)] = 0x07;
  HandPackage noStrings = oneSheet(), manyStrings = oneSheet();
  noStrings.sharedStrings = std::string("<sst xmlns=\"") + kMainNs + "\"/>";
  ZipParts withoutStrings = noStrings.parts();
  std::erase_if(withoutStrings, [](const auto& p) { return p.first == "xl/sharedStrings.xml"; });
  manyStrings.sharedStrings =
      std::string("<sst xmlns=\"") + kMainNs + "\" uniqueCount=\"400000000\"><si/></sst>";
  // Bombs for the scanner: nesting, attributes, namespace declarations; a duplicate among many
  // attributes; two sheets naming one part (it would be inflated for each).
  std::string deep, many, bindings, duplicate;
  for (int i = 0; i < 300; ++i) deep += "<a>";
  for (int i = 0; i < 1100; ++i) many += " a" + std::to_string(i) + "=\"\"";
  for (int i = 0; i < 200; ++i) bindings += " xmlns:p" + std::to_string(i) + "=\"u\"";
  for (int i = 0; i < 20; ++i) duplicate += " b" + std::to_string(i % 19) + "=\"\"";
  const std::string sheetsA = "<sheets><sheet name=\"a\" sheetId=\"1\" r:id=\"rId1\"/>";
  return {
      {"zip without workbook", zipBytes({{"notes/readme.txt", "hello"}}), {"zip", "Excel のブック"}},
      {"word document",
       officeDocument("word/document.xml",
                      "<w:document xmlns:w=\"http://schemas.openxmlformats.org/"
                      "wordprocessingml/2006/main\"/>"),
       {"Word"}},
      {"opendocument spreadsheet",
       zipBytes({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", "<a/>"}}),
       {".ods"}},
      {"binary workbook", officeDocument("xl/workbook.bin", std::string("\x83\x01", 3)), {".xlsb"}},
      {"checksum", patched(16, le32(directoryField(sound, wb, 16) ^ 1)), {wb, "CRC"}},
      {"size smaller", patched(24, le32(size - 1)), {wb, "サイズ"}},
      {"size larger", patched(24, le32(size + 7)), {wb, "サイズ"}},
      {"cut short", sound.substr(0, sound.size() * 2 / 3), {"途中で切れています"}},
      {"deflate data cut short", patched(20, le32(directoryField(sound, wb, 20) / 2)),
       {wb, "圧縮データが途中で切れています"}},
      {"deflate data damaged", badDeflate, {wb, "圧縮データが壊れています"}},
      {"over the size limit", patched(24, le32(300u << 20)), {wb, "大きすぎます"}},
      {"encrypted entry", patched(8, le16(1)), {wb, "暗号化"}},
      {"compression method", patched(10, le16(14)), {wb, "圧縮方式"}},
      {"missing part", zipBytes(withoutStrings), {"xl/sharedStrings.xml", "ありません"}},
      {"not well-formed", withWorkbook(kHead + "<sheets>\n" + sheetsA.substr(8) + "\n</sheet>\n"),
       {wb, "5 行目", "</sheet>", "<sheets>"}},
      {"Excel 2007 beta",
       withWorkbook("<workbook xmlns=\"http://schemas.microsoft.com/office/excel/2006/2\">"
                    "<sheets/></workbook>"),
       {"ベータ版"}},
      {"deep nesting", withWorkbook(kHead + deep), {wb, "入れ子が深すぎます (256 段まで)"}},
      {"many attributes", withWorkbook(kHead + "<sheets" + many + "/></workbook>"),
       {wb, "<sheets> の属性が多すぎます (1024 個まで)"}},
      {"many namespaces", withWorkbook(kHead + "<sheets" + bindings + "/></workbook>"),
       {wb, "名前空間の宣言が多すぎます"}},
      {"duplicate attribute", withWorkbook(kHead + "<sheets" + duplicate + "/></workbook>"),
       {wb, "属性 b0 が二度あります"}},
      {"sheets sharing a part",
       withWorkbook(kHead + sheetsA + "<sheet name=\"b\" sheetId=\"2\" r:id=\"rId1\"/></sheets></workbook>"),
       {"シート「a」とシート「b」が同じパーツ xl/worksheets/sheet1.xml を指しています"}},
      {"document type", withWorkbook("<!DOCTYPE workbook>\n" + kHead + "</workbook>"), {wb, "文書型宣言"}},
      {"undefined entity", withWorkbook(kHead + "<sheets>&nbsp;</sheets></workbook>"), {wb, "&nbsp;"}},
      {"string count", zipBytes(manyStrings.parts()), {"xl/sharedStrings.xml", "400000000"}},
  };
}

}  // namespace morvane::test
