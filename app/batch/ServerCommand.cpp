#include <iostream>

#include "app/batch/BatchOptions.h"

namespace morvane::batch {

// Placeholder until server table creation lands.
int createOnServer(const BatchOptions&, const BatchSettings&, const clsDBInfo&) {
  std::cerr << "morvane-batch: --server is not available yet\n";
  return 2;
}

}  // namespace morvane::batch
