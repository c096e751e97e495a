#include "sqlserver/ServerChanges.h"

#include <algorithm>

#include "sqlserver/SchemaDiff.h"
#include "sqlserver/ServerDrift.h"

namespace morvane {

std::vector<ServerTable> tablesNamed(std::vector<ServerTable> server, const std::vector<std::string>& names) {
  std::erase_if(server, [&](const ServerTable& table) {
    return std::none_of(names.begin(), names.end(), [&](const std::string& name) { return sameName(name, table.name); });
  });
  return server;
}

ChangeOptions serverChangeOptions(bool allowDrop) {
  ChangeOptions options;
  options.allowDrop = allowDrop;
  options.oldIsLive = true;
  return options;
}

std::vector<TableChange> changesFromServer(const std::vector<ServerTable>& server, const clsDBInfo& document,
                                           const std::shared_ptr<const clsSQLServerFieldAttr>& types,
                                           ChangeOptions options) {
  options.oldIsLive = true;
  const clsDBInfo live = serverModel(server, document, *types);
  // The model holds the server's tables in its order, spelled as the workbook spells them.
  std::vector<std::string> liveNames;
  for (std::size_t i = 0; i < server.size() && i < live.getTables().size(); ++i) {
    options.keyNames[live.getTables()[i]->getName()] = server[i].keyName;
    liveNames.push_back(live.getTables()[i]->getName());
  }
  options.liveAttributes = serverAttributesByTable(server, liveNames);
  return compareRevisions(live, document, types, options);
}

}  // namespace morvane
