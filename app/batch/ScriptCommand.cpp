#include <iostream>

#include "app/batch/BatchOptions.h"

namespace morvane::batch {

// Placeholder until the script generator lands.
int writeScripts(const BatchOptions&, const BatchSettings&, const clsDBInfo&) {
  std::cerr << "morvane-batch: --sql is not available yet\n";
  return 2;
}

}  // namespace morvane::batch
