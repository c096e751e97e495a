#pragma once
// A column as SQL Server keeps it, so that the same column said two ways compares equal: the
// document's date is a datetime, float(10) a real, identity an int with IS_IDENTITY.
#include <optional>
#include <string>

#include "model/clsFieldInfo.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

struct StoredColumn {
  std::string type;                        // lower case; numeric is decimal
  std::optional<long long> length;         // char and varchar only; -1 for max
  std::optional<long long> precision, scale;  // decimal only
  bool nullable = false;
  bool identity = false;
  std::optional<long long> seed, increment;  // identity only

  bool operator==(const StoredColumn&) const = default;
};

// What the field's CREATE script column becomes on the server; none when its notation is
// undefined or its size is not one the server takes (then it can match no server column).
std::optional<StoredColumn> storedColumn(const clsFieldInfo& field, const clsSQLServerFieldAttr& types);
StoredColumn storedColumn(const ServerColumn& column);
// The column of a field that fieldFromServer made from a type the notations cannot say: the
// server's type word and its length.
StoredColumn serverStoredColumn(const clsFieldInfo& field);

// "varchar(50) NOT NULL", "int IDENTITY(1,1) NOT NULL", "varchar(max) NULL".
std::string describeColumn(const StoredColumn& column);

// The field a design document would hold for the server's column, in the notations in effect;
// a type the document cannot express keeps the server's word.
clsFieldInfo fieldFromServer(const ServerColumn& column, const clsSQLServerFieldAttr& types);

}  // namespace morvane
