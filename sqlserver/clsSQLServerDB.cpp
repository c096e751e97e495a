#include "sqlserver/clsSQLServerDB.h"

#include "platform/Odbc.h"

namespace morvane {

clsSQLServerDB::clsSQLServerDB() = default;
clsSQLServerDB::~clsSQLServerDB() = default;

const clsSQLServerFieldAttr& clsSQLServerDB::fieldAttr() {
  if (!fieldAttr_) fieldAttr_ = std::make_shared<clsSQLServerFieldAttr>();
  return *fieldAttr_;
}

// Placeholders until the script generator lands.
std::optional<std::string> clsSQLServerDB::fnMakeFieldSQL(const clsFieldInfo&) { return std::nullopt; }
std::optional<std::string> clsSQLServerDB::fnMakeCreateSQL(const clsTableInfo&) { return std::nullopt; }
bool clsSQLServerDB::fnSaveCreateSQL(const clsTableInfo&, const std::string&) { return false; }

}  // namespace morvane
