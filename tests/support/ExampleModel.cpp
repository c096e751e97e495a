#include "tests/support/ExampleModel.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "model/Text.h"

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
  const auto& columns = doc["fieldColumns"];
  auto position = [&](const char* letter) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i] == letter) return i;
    }
    throw std::runtime_error(std::string("no field column ") + letter);
  };
  const std::size_t name = position("D"), type = position("E"), size = position("F"), key = position("G"),
                    null = position("I");
  clsDBInfo db;
  for (const auto& sheet : doc["sheets"]) {
    if (isBlank(sheet["table"].get<std::string>())) continue;
    auto table = std::make_shared<clsTableInfo>();
    table->setName(sheet["table"].get<std::string>());
    if (optional) table->setLogicalName(sheet.value("tableLogicalName", ""));
    for (const auto& row : sheet.value("fields", nlohmann::json::array())) {
      clsFieldInfo field;
      field.setName(cellText(row[name]));
      field.setAttr(cellText(row[type]));
      field.setSize(cellText(row[size]));
      field.setNull(!isBlank(cellText(row[null])));
      if (!isBlank(cellText(row[key]))) table->sbAddPKey(field.getName());
      if (optional) {
        field.setRemarks(cellText(row[position("H")]));
        field.setLogicalName(cellText(row[position("J")]));
        field.setDefault(cellText(row[position("K")]));
        field.setUnique(cellText(row[position("L")]));
        field.setIndex(cellText(row[position("M")]));
        field.setReference(cellText(row[position("N")]));
      }
      table->setField(std::move(field));
    }
    db.setTable(std::move(table));
  }
  return db;
}

clsExcelDBDocInfo exampleLayout(bool optional) {
  const nlohmann::json doc = description();
  const std::string values = doc["layoutValues"].get<std::string>();
  int v[10];
  if (std::sscanf(values.c_str(), "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                  &v[7], &v[8], &v[9]) != 10) {
    throw std::runtime_error("bad layoutValues in the example description");
  }
  clsExcelDBDocInfo layout;
  layout.sbSetPage(v[0], v[1]);
  layout.sbSetFieldPos(v[2]);
  layout.sbSetTableNmPos(v[3], v[4]);
  layout.sbSetFieldDefPos(v[5], v[6], v[7], v[8], v[9]);
  if (!optional) return layout;
  const std::map<std::string, void (clsExcelDBDocInfo::*)(std::int32_t)> setters = {
      {"ColLogicalName", &clsExcelDBDocInfo::setColLogicalName},
      {"ColDefault", &clsExcelDBDocInfo::setColDefault},
      {"ColRemarks", &clsExcelDBDocInfo::setColRemarks},
      {"ColUnique", &clsExcelDBDocInfo::setColUnique},
      {"ColIndex", &clsExcelDBDocInfo::setColIndex},
      {"ColReference", &clsExcelDBDocInfo::setColReference},
      {"RowTableLogicalName", &clsExcelDBDocInfo::setRowTableLogicalName},
      {"ColTableLogicalName", &clsExcelDBDocInfo::setColTableLogicalName}};
  std::istringstream extra(doc["layoutExtra"].get<std::string>());
  for (std::string item; std::getline(extra, item, ',');) {
    const auto equals = item.find('=');
    (layout.*setters.at(item.substr(0, equals)))(std::stoi(item.substr(equals + 1)));
  }
  return layout;
}

nlohmann::ordered_json modelJson(const clsDBInfo& db) {
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  for (const auto& table : db.getTables()) {
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    for (const auto& field : table->getFields()) {
      nlohmann::ordered_json item = {
          {"name", field.getName()}, {"type", field.getAttr()}, {"size", field.getSize()}, {"nullable", field.getNull()}};
      const std::pair<const char*, std::string> optional[] = {
          {"logicalName", field.getLogicalName()}, {"default", field.getDefault()}, {"remarks", field.getRemarks()},
          {"unique", field.getUnique()},           {"index", field.getIndex()},     {"reference", field.getReference()}};
      for (const auto& [key, text] : optional) {
        if (!text.empty()) item[key] = text;
      }
      fields.push_back(std::move(item));
    }
    nlohmann::ordered_json item = {{"name", table->getName()}};
    if (!table->getLogicalName().empty()) item["logicalName"] = table->getLogicalName();
    item["fields"] = fields;
    item["primaryKeys"] = table->getPrimaryKeys();
    tables.push_back(std::move(item));
  }
  return {{"tables", tables}};
}

}  // namespace morvane::test
