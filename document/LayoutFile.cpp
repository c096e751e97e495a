#include "document/LayoutFile.h"

#include <array>
#include <cstdint>

#include "model/Number.h"
#include "model/clsXML.h"

namespace morvane {
namespace {

// The keys as the file writes them; three differ from the field names on purpose.
constexpr std::array<const char*, 10> kKeys = {
    "StartSheetNo", "EndSheetNo",   "StartRowFieldDef", "RowTableName",  "ColTableName",
    "ColFieldName", "ColFieldType", "ColFieldSize",     "ColPrimarykey", "ColNull"};

std::array<std::int32_t, 10> valuesOf(const clsExcelDBDocInfo& layout) {
  return {layout.getStartPage(),    layout.getEndPage(),      layout.getStartRowFieldDef(),
          layout.getRowTableName(), layout.getColTableName(), layout.getColFieldName(),
          layout.getColFieldType(), layout.getColFieldSize(), layout.getColPrimaryKey(),
          layout.getColNULL()};
}

// A hand-edited value can be anything; keep the message to one short line.
std::string quoted(const std::string& value) {
  constexpr std::size_t kShown = 40;
  std::string shown;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (shown.size() >= kShown && (c & 0xC0) != 0x80) return "'" + shown + "...'";
    shown += c < 0x20 ? ' ' : value[i];
  }
  return "'" + shown + "'";
}

using Doc = clsExcelDBDocInfo;
constexpr std::int32_t kAnyPosition = INT32_MAX;
constexpr std::array<LayoutExtra, 9> kExtras = {{
    {"ColLogicalName", &Doc::getColLogicalName, &Doc::setColLogicalName, kAnyPosition},
    {"ColDefault", &Doc::getColDefault, &Doc::setColDefault, kAnyPosition},
    {"ColRemarks", &Doc::getColRemarks, &Doc::setColRemarks, kAnyPosition},
    {"ColUnique", &Doc::getColUnique, &Doc::setColUnique, kAnyPosition},
    {"ColIndex", &Doc::getColIndex, &Doc::setColIndex, kAnyPosition},
    {"ColReference", &Doc::getColReference, &Doc::setColReference, kAnyPosition},
    {"RowTableLogicalName", &Doc::getRowTableLogicalName, &Doc::setRowTableLogicalName, kAnyPosition},
    {"ColTableLogicalName", &Doc::getColTableLogicalName, &Doc::setColTableLogicalName, kAnyPosition},
    {"NullMarkMeansNotNull", &Doc::getNullMarkMeansNotNull, &Doc::setNullMarkMeansNotNull, 1},
}};

}  // namespace

std::span<const LayoutExtra> layoutExtras() { return kExtras; }

const LayoutExtra* findLayoutExtra(std::string_view name) {
  for (const auto& extra : kExtras) {
    if (name == extra.name) return &extra;
  }
  return nullptr;
}

std::string layoutExtraProblem(const LayoutExtra& extra, std::int32_t value) {
  if (value >= 0 && value <= extra.maxValue) return {};
  return extra.maxValue == 1 ? "0 か 1 ではありません" : "0 以上の数値ではありません";
}

clsHash layoutToHash(const clsExcelDBDocInfo& layout) {
  clsHash hash;
  const auto values = valuesOf(layout);
  for (std::size_t i = 0; i < kKeys.size(); ++i) hash.Add(kKeys[i], std::to_string(values[i]));
  for (const auto& extra : kExtras) {
    if (const std::int32_t value = (layout.*extra.get)(); value != 0) hash.Add(extra.name, std::to_string(value));
  }
  return hash;
}

bool saveLayoutFile(const clsExcelDBDocInfo& layout, const std::string& path) {
  return layoutToHash(layout).fnSaveFileAsXml(path);
}

bool clsExcelDBDocInfo::fnReadFile(const std::string& strPath) {
  clsXML reader;
  if (!reader.fnReadFile(strPath)) return false;
  // Every value is checked before any is stored, so a bad file leaves the layout as it was.
  std::array<std::int32_t, 10> values{};
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    const std::string key = kKeys[i];
    const std::string text = reader.fnTagData("<" + key + ">", "</" + key + ">");
    const auto value = toInt32(text);
    if (!value) {
      throw LayoutFileError(strPath + ": " + key +
                            (text.empty() ? " is missing or empty"
                                          : " holds " + quoted(text) + ", not a 32-bit number"));
    }
    values[i] = *value;
  }
  std::array<std::int32_t, kExtras.size()> extras{};
  for (std::size_t i = 0; i < kExtras.size(); ++i) {
    const std::string key = kExtras[i].name;
    const std::string text = reader.fnTagData("<" + key + ">", "</" + key + ">");
    if (text.empty()) continue;  // files written before these positions existed
    const auto value = toInt32(text);
    if (!value || !layoutExtraProblem(kExtras[i], *value).empty()) {
      throw LayoutFileError(strPath + ": " + key + " holds " + quoted(text) +
                            (kExtras[i].maxValue == 1 ? ", not 0 or 1" : ", not a position of 0 or more"));
    }
    extras[i] = *value;
  }
  for (std::size_t i = 0; i < kExtras.size(); ++i) (this->*kExtras[i].set)(extras[i]);
  sbSetPage(values[0], values[1]);
  sbSetFieldPos(values[2]);
  sbSetTableNmPos(values[3], values[4]);
  sbSetFieldDefPos(values[5], values[6], values[7], values[8], values[9]);
  return true;
}

}  // namespace morvane
