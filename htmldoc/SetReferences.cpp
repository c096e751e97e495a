#include "htmldoc/SetReferences.h"

#include <string>
#include <unordered_map>

#include "model/FieldReference.h"
#include "model/Text.h"

namespace morvane::htmldoc {

std::vector<SetReference> referencesAmong(const std::vector<const clsTableInfo*>& tables) {
  std::vector<SetReference> references;
  // Built only when some field refers at all, so a set without references costs nothing.
  std::unordered_map<std::string, std::size_t> tableAt;
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const auto& fields = tables[t]->getFields();
    for (std::size_t f = 0; f < fields.size(); ++f) {
      if (isBlank(fields[f].getReference())) continue;
      const auto target = parseReference(fields[f].getReference());
      if (!target) continue;
      if (tableAt.empty()) {
        for (std::size_t i = tables.size(); i-- > 0;) tableAt[trimBlanks(tables[i]->getName())] = i;
      }
      const auto found = tableAt.find(target->table);
      if (found == tableAt.end()) continue;
      const auto& targetFields = tables[found->second]->getFields();
      for (std::size_t c = 0; c < targetFields.size(); ++c) {
        if (trimBlanks(targetFields[c].getName()) == target->column) {
          references.push_back({{t, f}, {found->second, c}});
          break;
        }
      }
    }
  }
  return references;
}

}  // namespace morvane::htmldoc
