#include <iostream>

#include "app/batch/BatchOptions.h"

namespace morvane::batch {

// Placeholder until the documentation writer lands.
int writeHtml(const BatchOptions&, const clsDBInfo&) {
  std::cerr << "morvane-batch: --html is not available yet\n";
  return 2;
}

}  // namespace morvane::batch
