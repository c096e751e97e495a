#include <unicode/uchar.h>

#include "platform/loader/ModuleLoader.h"
#include "sqlserver/ServerNames.h"

namespace morvane {
namespace {

char32_t foldCase(char32_t code) {
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(code), U_FOLD_CASE_DEFAULT));
}

constexpr FoldModule kModule{foldCase};

}  // namespace
}  // namespace morvane

MORVANE_MODULE_ENTRY { return &morvane::kModule; }
