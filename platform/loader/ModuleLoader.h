#pragma once
// Parts of the program that need large libraries (Graphviz, ICU, libxlsxwriter) are built as
// modules of their own and loaded at their first use: a run that only reads a workbook does not
// pay for mapping and relocating those libraries at its start.
#include <stdexcept>

namespace morvane::platform {

// The module's entry: the table of its functions, as the module's interface header declares it.
// Each module exports it as the C function morvane_module_entry.
#define MORVANE_MODULE_ENTRY extern "C" __attribute__((visibility("default"))) const void* morvane_module_entry()

class ModuleLoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// libmorvane_<name>.so beside the running program, else in the folder the program was built
// in; loaded once and kept for the life of the process. Throws ModuleLoadError with the reason.
const void* moduleEntry(const char* name);

template <class Interface>
const Interface& loadModule(const char* name) {
  return *static_cast<const Interface*>(moduleEntry(name));
}

}  // namespace morvane::platform
