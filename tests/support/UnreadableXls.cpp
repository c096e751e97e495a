#include "tests/support/UnreadableXls.h"

namespace morvane::test {

std::string fixtureBytes(const std::string& name) {
  return readBytes(std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/" + name);
}

std::string soundXlsBytes() { return fixtureBytes("xls/sound.xls"); }
std::string xlsWithAbsurdStreamCutoff() { return fixtureBytes("unreadable/cutoff.xls"); }

// "Patched" ones are a sound one-sheet package with a field of xl/workbook.xml's central
// directory record changed.
std::vector<UnreadablePackage> unreadablePackages() {
  const std::string wb = "xl/workbook.xml", size = "サイズ";
  std::vector<UnreadablePackage> packages = {
      {"zip-without-workbook", {}, {"zip", "Excel のブック"}},
      {"word-document", {}, {"Word"}}, {"opendocument-spreadsheet", {}, {".ods"}},  // word/document.xml
      {"binary-workbook", {}, {".xlsb"}},                                          // xl/workbook.bin
      {"checksum", {}, {wb, "CRC"}},                                               // patched: one CRC bit flipped
      {"size-smaller", {}, {wb, size}}, {"size-larger", {}, {wb, size}},           // patched: one less, seven more
      {"cut-short", {}, {"途中で切れています"}},                                   // the file's first two thirds
      {"deflate-data-cut-short", {}, {wb, "圧縮データが途中で切れています"}},      // patched: half
      {"deflate-data-damaged", {}, {wb, "圧縮データが壊れています"}},              // a reserved block type
      {"over-the-size-limit", {}, {wb, "大きすぎます"}},                           // patched: 300 MiB declared
      {"encrypted-entry", {}, {wb, "暗号化"}}, {"compression-method", {}, {wb, "圧縮方式"}},  // patched: 1, 14
      {"missing-part", {}, {"xl/sharedStrings.xml", "ありません"}},                // related, not in the zip
      {"not-well-formed", {}, {wb, "5 行目", "</sheet>", "<sheets>"}},             // </sheet> closing <sheets>
      {"excel-2007-beta", {}, {"ベータ版"}},                                       // the 2006/2 namespace
      {"deep-nesting", {}, {wb, "入れ子が深すぎます (256 段まで)"}},               // 300 nested elements
      {"many-attributes", {}, {wb, "<sheets> の属性が多すぎます (1024 個まで)"}},  // 1100
      {"many-namespaces", {}, {wb, "名前空間の宣言が多すぎます"}},                 // 200 prefixes declared
      {"duplicate-attribute", {}, {wb, "属性 b0 が二度あります"}},                 // the last of 20 attributes
      {"sheets-sharing-a-part", {}, {"シート「a」とシート「b」が同じパーツ xl/worksheets/sheet1.xml を指しています"}},
      {"document-type", {}, {wb, "文書型宣言"}}, {"undefined-entity", {}, {wb, "&nbsp;"}},
      {"string-count", {}, {"xl/sharedStrings.xml", "400000000"}},  // the uniqueCount of one item
  };
  for (auto& package : packages) package.bytes = fixtureBytes("unreadable/" + package.label + ".xlsx");
  return packages;
}

}  // namespace morvane::test
