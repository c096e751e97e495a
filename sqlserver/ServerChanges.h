#pragma once
// The live database as the old revision of the design document: what the command line's
// --against-server and the table list's comparison share.
#include <memory>
#include <string>
#include <vector>

#include "model/clsDBInfo.h"
#include "sqlserver/ChangeScript.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

// The database's tables that bear one of the names (without regard to case), in its order.
std::vector<ServerTable> tablesNamed(std::vector<ServerTable> server, const std::vector<std::string>& names);

// The changes that bring the live tables to the document's, columns compared as stored and keys
// dropped by the names the server gives them; columns and tables the document lacks are dropped
// only with options.allowDrop. options.oldIsLive is set here.
std::vector<TableChange> changesFromServer(const std::vector<ServerTable>& server, const clsDBInfo& document,
                                           const std::shared_ptr<const clsSQLServerFieldAttr>& types,
                                           ChangeOptions options);

// The options those changes were made with, for changeSummary.
ChangeOptions serverChangeOptions(bool allowDrop);

}  // namespace morvane
