#include "app/batch/ModelJson.h"

namespace morvane {

nlohmann::ordered_json modelJson(const clsDBInfo& db) {
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  for (const auto& table : db.getTables()) {
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    for (const auto& field : table->getFields()) {
      nlohmann::ordered_json item = {{"name", field.getName()},
                                     {"type", field.getAttr()},
                                     {"size", field.getSize()},
                                     {"nullable", field.getNull()}};
      // Only the optional cells that hold text, so a layout without them dumps as it always did.
      for (const auto& [key, text] : {std::pair{"logicalName", &field.getLogicalName()},
                                      std::pair{"default", &field.getDefault()},
                                      std::pair{"remarks", &field.getRemarks()},
                                      std::pair{"unique", &field.getUnique()},
                                      std::pair{"index", &field.getIndex()},
                                      std::pair{"reference", &field.getReference()}}) {
        if (!text->empty()) item[key] = *text;
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

}  // namespace morvane
