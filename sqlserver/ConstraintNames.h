#pragma once
// The names the scripts give their constraints, shared by every output that shows them:
// PK_T, DF_T_c, UQ_T_a_b, IX_T_a_b and FK_T_c.
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

inline std::string constraintName(std::string_view prefix, std::string_view table,
                                  const std::vector<std::string>& columns) {
  std::string name(prefix);
  name += '_';
  name += table;
  for (const auto& column : columns) name.append("_").append(column);
  return name;
}

inline std::string primaryKeyName(std::string_view table) { return constraintName("PK", table, {}); }
inline std::string defaultName(std::string_view table, const std::string& column) {
  return constraintName("DF", table, {column});
}
inline std::string uniqueKeyName(std::string_view table, const std::vector<std::string>& columns) {
  return constraintName("UQ", table, columns);
}
inline std::string indexName(std::string_view table, const std::vector<std::string>& columns) {
  return constraintName("IX", table, columns);
}
inline std::string foreignKeyName(std::string_view table, const std::string& column) {
  return constraintName("FK", table, {column});
}

}  // namespace morvane
