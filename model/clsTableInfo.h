#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/clsFieldInfo.h"

namespace morvane {

// One table: its name, its fields in row order and the names of its key fields in row order.
class clsTableInfo {
 public:
  void setName(std::string name) { name_ = std::move(name); }
  const std::string& getName() const { return name_; }
  // The logical-name cell as read; empty when the layout does not use it.
  void setLogicalName(std::string text) { logicalName_ = std::move(text); }
  const std::string& getLogicalName() const { return logicalName_; }

  // The sheet the table was read from (its number in the workbook and its tab caption), so a
  // finding can name the cell; number 0 for a table made in code.
  void setSheet(std::int32_t number, std::string name) {
    sheetNo_ = number;
    sheetName_ = std::move(name);
  }
  std::int32_t getSheetNo() const { return sheetNo_; }
  const std::string& getSheetName() const { return sheetName_; }

  void setField(clsFieldInfo field) { fields_.push_back(std::move(field)); }
  // Room for this many fields, so that adding them does not reallocate.
  void reserveFields(std::size_t count) { fields_.reserve(count); }
  const std::vector<clsFieldInfo>& getFields() const { return fields_; }
  // The first field whose name equals the argument exactly; null when there is none.
  const clsFieldInfo* getField(const std::string& name) const {
    for (const auto& field : fields_) {
      if (field.getName() == name) return &field;
    }
    return nullptr;
  }

  void sbAddPKey(std::string fieldName) { primaryKeys_.push_back(std::move(fieldName)); }
  const std::vector<std::string>& getPrimaryKeys() const { return primaryKeys_; }

 private:
  std::string name_;
  std::string logicalName_;
  std::int32_t sheetNo_ = 0;
  std::string sheetName_;
  std::vector<clsFieldInfo> fields_;
  std::vector<std::string> primaryKeys_;
};

}  // namespace morvane
