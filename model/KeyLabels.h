#pragma once
// The unique keys and indexes a table's unique and index cells describe: the rows whose cells
// hold the same label, compared after trimming blanks, form one key or index, in row order.
#include <cstddef>
#include <string>
#include <vector>

#include "model/clsTableInfo.h"

namespace morvane {

struct KeyGroup {
  std::string label;                // trimmed
  std::vector<std::size_t> fields;  // positions in the table's fields, in row order
};

// In the order each label first appears; a blank cell belongs to no group.
std::vector<KeyGroup> uniqueKeysOf(const clsTableInfo& table);
std::vector<KeyGroup> indexesOf(const clsTableInfo& table);

}  // namespace morvane
