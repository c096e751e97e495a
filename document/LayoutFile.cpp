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

}  // namespace

clsHash layoutToHash(const clsExcelDBDocInfo& layout) {
  clsHash hash;
  const auto values = valuesOf(layout);
  for (std::size_t i = 0; i < kKeys.size(); ++i) hash.Add(kKeys[i], std::to_string(values[i]));
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
  sbSetPage(values[0], values[1]);
  sbSetFieldPos(values[2]);
  sbSetTableNmPos(values[3], values[4]);
  sbSetFieldDefPos(values[5], values[6], values[7], values[8], values[9]);
  return true;
}

}  // namespace morvane
