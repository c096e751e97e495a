#pragma once
// Names and sizes go into a CREATE TABLE script unquoted, as the script format has them. Before a
// script runs on a server, each must be a token that cannot end the statement, start another one
// or comment out the rest.
#include <optional>
#include <string>

#include "model/clsTableInfo.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

// Why the table's script may not run on a server (the first text that is not a safe token,
// shown with its control characters escaped), or nothing when every inserted text is safe. Only
// the texts the script holds are checked: the sizes of columns whose type takes one and the
// fields whose notation is defined. A default must take one of the forms classifyDefault knows, and
// a reference's table and column must be tokens too.
// The same for one name standing alone in a script (a column to drop, a table to drop); what says
// what it names ("テーブル名", "フィールド名").
std::optional<std::string> unsafeScriptName(const std::string& what, const std::string& name);

std::optional<std::string> unsafeScriptToken(const clsTableInfo& table, const clsSQLServerFieldAttr& types);

}  // namespace morvane
