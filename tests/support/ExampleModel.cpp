#include "tests/support/ExampleModel.h"

#include <fstream>
#include <sstream>
#include <nlohmann/json.hpp>

#include "model/Text.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
static nlohmann::json description() {
  return nlohmann::json::parse(std::ifstream(MORVANE_SOURCE_DIR "/examples/design-document.json"));
}

clsDBInfo exampleModel(bool optional) {
  clsDBInfo db;
  const nlohmann::json doc = description();  // outlives the loop over its sheets
  for (const auto& sheet : doc["sheets"]) {
    if (isBlank(sheet["table"].get<std::string>())) continue;
    auto table = std::make_shared<clsTableInfo>();
    table->setName(sheet["table"]);
    if (optional) table->setLogicalName(sheet.value("tableLogicalName", ""));
    for (const auto& json : sheet.value("fields", nlohmann::json::array())) {
      // [name, type, size, key mark, NULL mark, remark, logical name, default, unique, index, reference];
      // number cells read as their plain decimal text (the sizes are whole numbers).
      std::vector<std::string> row;
      for (const auto& cell : json) row.push_back(cell.is_string() ? cell.get<std::string>() : cell.dump());
      clsFieldInfo field;
      const std::pair<void (clsFieldInfo::*)(std::string), int> cells[] = {
          {&clsFieldInfo::setName, 0},    {&clsFieldInfo::setAttr, 1},         {&clsFieldInfo::setSize, 2},
          {&clsFieldInfo::setRemarks, 5}, {&clsFieldInfo::setLogicalName, 6},  {&clsFieldInfo::setDefault, 7},
          {&clsFieldInfo::setUnique, 8},  {&clsFieldInfo::setIndex, 9},        {&clsFieldInfo::setReference, 10}};
      for (const auto& [set, at] : cells) {
        if (at < 5 || optional) (field.*set)(row[at]);
      }
      if (!isBlank(row[3])) table->sbAddPKey(row[0]);
      field.setNull(!isBlank(row[4]));
      table->setField(std::move(field));
    }
    db.setTable(std::move(table));
  }
  return db;
}

clsExcelDBDocInfo layoutOf(const std::array<std::int32_t, 10>& v, const std::string& extra) {
  clsExcelDBDocInfo layout;
  layout.sbSetPage(v[0], v[1]);
  layout.sbSetFieldPos(v[2]);
  layout.sbSetTableNmPos(v[3], v[4]);
  layout.sbSetFieldDefPos(v[5], v[6], v[7], v[8], v[9]);
  return withLayoutExtra(layout, extra);
}

clsExcelDBDocInfo exampleLayout(bool optional) {
  const nlohmann::json doc = description();
  std::istringstream values(doc["layoutValues"].get<std::string>());
  std::array<std::int32_t, 10> v{};
  char comma = 0;
  for (auto& value : v) values >> value >> comma;
  return layoutOf(v, optional ? doc["layoutExtra"].get<std::string>() : "");
}

}  // namespace morvane::test
