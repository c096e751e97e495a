#pragma once
// The references among the tables of one documentation set: which field refers to which column
// of which table of the set, so that both pages can link to each other.
#include <cstddef>
#include <vector>

#include "model/clsTableInfo.h"

namespace morvane::htmldoc {

struct ColumnAt {
  std::size_t table;  // position in the set
  std::size_t field;  // position in that table's fields
  bool operator==(const ColumnAt&) const = default;
};

struct SetReference {
  ColumnAt from;
  ColumnAt to;
};

// Every field whose reference names a table of the set (its name trimmed) and a field of it (its
// name trimmed), in table and row order; a reference to anything outside the set is left out.
std::vector<SetReference> referencesAmong(const std::vector<const clsTableInfo*>& tables);

}  // namespace morvane::htmldoc
