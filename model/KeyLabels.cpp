#include "model/KeyLabels.h"

#include "model/Text.h"

namespace morvane {
namespace {

std::vector<KeyGroup> groupBy(const clsTableInfo& table, const std::string& (clsFieldInfo::*labelOf)() const) {
  std::vector<KeyGroup> groups;
  const auto& fields = table.getFields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string label = trimBlanks((fields[i].*labelOf)());
    if (label.empty()) continue;
    auto group = groups.begin();
    while (group != groups.end() && group->label != label) ++group;
    if (group == groups.end()) group = groups.insert(groups.end(), KeyGroup{std::move(label), {}});
    group->fields.push_back(i);
  }
  return groups;
}

}  // namespace

std::vector<KeyGroup> uniqueKeysOf(const clsTableInfo& table) { return groupBy(table, &clsFieldInfo::getUnique); }
std::vector<KeyGroup> indexesOf(const clsTableInfo& table) { return groupBy(table, &clsFieldInfo::getIndex); }

}  // namespace morvane
