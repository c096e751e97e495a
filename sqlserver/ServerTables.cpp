// Table creation on a SQL Server: one connection, one batch per table.
#include <exception>

#include "platform/odbc/Odbc.h"
#include "sqlserver/ScriptTokens.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane {
namespace {

// Without a limit the login waits forever on a server that accepts and never answers.
constexpr int kLoginTimeoutSeconds = 15;

}  // namespace

bool clsSQLServerDB::fnOpenDB(const std::string& strServer, const std::string& strDBName, const std::string& strUser,
                              const std::string& strPassword) {
  connection_.reset();
  failReason_.clear();
  abortsWholeTransactions_ = false;
  try {
    connection_ = std::make_unique<platform::OdbcConnection>(
        platform::SqlServerLogin{strServer, strDBName, strUser, strPassword}, kLoginTimeoutSeconds, queryTimeout_);
    return true;
  } catch (const std::exception& error) {
    failReason_ = error.what();
    return false;
  }
}

bool clsSQLServerDB::fnMakeTable(const clsTableInfo& objTable) {
  failReason_.clear();
  if (!connection_) return false;
  try {
    const auto script = fnMakeCreateSQL(objTable);
    if (!script) return false;
    // Written scripts keep the cells' text; on a server it would run as written.
    if (auto unsafe = unsafeScriptToken(objTable, fieldAttr())) {
      failReason_ = *unsafe;
      return false;
    }
    sbAbortWholeTransactions();
    connection_->execute(*script);
    return true;
  } catch (const std::exception& error) {
    failReason_ = error.what();
    return false;
  }
}

std::optional<std::vector<ServerTable>> clsSQLServerDB::fnReadServerCatalog() {
  failReason_.clear();
  if (!connection_) return std::nullopt;
  try {
    return readServerCatalog(*connection_);
  } catch (const std::exception& error) {
    failReason_ = error.what();
    return std::nullopt;
  }
}

bool clsSQLServerDB::fnRunScript(const std::string& script) {
  failReason_.clear();
  if (!connection_) return false;
  try {
    connection_->execute(script);
    return true;
  } catch (const std::exception& error) {
    failReason_ = error.what();
    return false;
  }
}

void clsSQLServerDB::sbAbortWholeTransactions() {
  if (abortsWholeTransactions_) return;
  connection_->execute("SET XACT_ABORT ON");
  abortsWholeTransactions_ = true;
}

bool clsSQLServerDB::fnCloseDB() {
  connection_.reset();
  return true;
}

}  // namespace morvane
