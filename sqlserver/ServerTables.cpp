#include "platform/Odbc.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane {

// Placeholder until server table creation lands.
bool clsSQLServerDB::fnOpenDB(const std::string&, const std::string&, const std::string&, const std::string&) {
  serverMessage_ = "not available yet";
  return false;
}
bool clsSQLServerDB::fnMakeTable(const clsTableInfo&) { return false; }
bool clsSQLServerDB::fnCloseDB() {
  connection_.reset();
  return true;
}

}  // namespace morvane
