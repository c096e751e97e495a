#include <iostream>

#include "app/batch/BatchOptions.h"

namespace morvane::batch {

// Placeholders until the setting files land.
int loadSettings(const BatchOptions& options, BatchSettings&) {
  if (options.layoutFile.empty() && options.typesFile.empty()) return 0;
  std::cerr << "morvane-batch: --layout and --types are not available yet\n";
  return 2;
}

int saveSettings(const BatchOptions& options, const BatchSettings&) {
  if (options.saveLayoutFile.empty() && options.saveTypesFile.empty()) return 0;
  std::cerr << "morvane-batch: --save-layout and --save-types are not available yet\n";
  return 2;
}

}  // namespace morvane::batch
