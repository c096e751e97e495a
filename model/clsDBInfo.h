#pragma once
#include <memory>
#include <string>
#include <vector>

#include "model/clsTableInfo.h"

namespace morvane {

using TablePtr = std::shared_ptr<const clsTableInfo>;

// A set of tables. The full model and every selection made from it hold the same table objects,
// so copying a clsDBInfo copies pointers, never tables.
class clsDBInfo {
 public:
  void setName(std::string name) { name_ = std::move(name); }

  void setTable(TablePtr table) { tables_.push_back(std::move(table)); }
  const std::vector<TablePtr>& getTables() const { return tables_; }

  // The first table whose name equals the argument exactly; null when there is none.
  TablePtr getTable(const std::string& name) const {
    for (const auto& table : tables_) {
      if (table->getName() == name) return table;
    }
    return nullptr;
  }

 private:
  std::string name_;  // kept for the interface's sake; nothing reads it
  std::vector<TablePtr> tables_;
};

}  // namespace morvane
