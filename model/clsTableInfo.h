#pragma once
#include <string>
#include <vector>

#include "model/clsFieldInfo.h"

namespace morvane {

// One table: its name, its fields in row order and the names of its key fields in row order.
class clsTableInfo {
 public:
  void setName(std::string name) { name_ = std::move(name); }
  const std::string& getName() const { return name_; }

  void setField(clsFieldInfo field) { fields_.push_back(std::move(field)); }
  // Room for this many fields, so that adding them does not reallocate.
  void reserveFields(std::size_t count) { fields_.reserve(count); }
  const std::vector<clsFieldInfo>& getFields() const { return fields_; }

  void sbAddPKey(std::string fieldName) { primaryKeys_.push_back(std::move(fieldName)); }
  const std::vector<std::string>& getPrimaryKeys() const { return primaryKeys_; }

 private:
  std::string name_;
  std::vector<clsFieldInfo> fields_;
  std::vector<std::string> primaryKeys_;
};

}  // namespace morvane
