#include "tests/support/ExampleModel.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "model/Text.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

nlohmann::json description() {
  std::ifstream file(exampleDescriptionPath());
  if (!file) throw std::runtime_error("cannot read " + exampleDescriptionPath());
  return nlohmann::json::parse(file);
}

// Number cells read as their plain decimal text; the description's sizes are whole numbers.
std::string cellText(const nlohmann::json& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

}  // namespace

std::string exampleDescriptionPath() { return std::string(MORVANE_SOURCE_DIR) + "/examples/design-document.json"; }

clsDBInfo exampleModel(bool optional) {
  const nlohmann::json doc = description();
  clsDBInfo db;
  for (const auto& sheet : doc["sheets"]) {
    if (isBlank(sheet["table"].get<std::string>())) continue;
    auto table = std::make_shared<clsTableInfo>();
    table->setName(sheet["table"].get<std::string>());
    if (optional) table->setLogicalName(sheet.value("tableLogicalName", ""));
    for (const auto& json : sheet.value("fields", nlohmann::json::array())) {
      // [name, type, size, key mark, NULL mark, remark, logical name, default, unique, index, reference]
      std::vector<std::string> row;
      for (const auto& cell : json) row.push_back(cellText(cell));
      clsFieldInfo field;
      field.setName(row[0]);
      field.setAttr(row[1]);
      field.setSize(row[2]);
      if (!isBlank(row[3])) table->sbAddPKey(row[0]);
      field.setNull(!isBlank(row[4]));
      if (optional) {
        field.setRemarks(row[5]);
        field.setLogicalName(row[6]);
        field.setDefault(row[7]);
        field.setUnique(row[8]);
        field.setIndex(row[9]);
        field.setReference(row[10]);
      }
      table->setField(std::move(field));
    }
    db.setTable(std::move(table));
  }
  return db;
}

clsExcelDBDocInfo exampleLayout(bool optional) {
  const nlohmann::json doc = description();
  std::istringstream values(doc["layoutValues"].get<std::string>());
  std::vector<std::int32_t> v;
  for (std::string value; std::getline(values, value, ',');) v.push_back(std::stoi(value));
  if (v.size() != 10) throw std::runtime_error("bad layoutValues in the example description");
  clsExcelDBDocInfo layout;
  layout.sbSetPage(v[0], v[1]);
  layout.sbSetFieldPos(v[2]);
  layout.sbSetTableNmPos(v[3], v[4]);
  layout.sbSetFieldDefPos(v[5], v[6], v[7], v[8], v[9]);
  return optional ? withLayoutExtra(layout, doc["layoutExtra"].get<std::string>()) : layout;
}

}  // namespace morvane::test
