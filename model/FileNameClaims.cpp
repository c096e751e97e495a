#include "model/FileNameClaims.h"

#include "model/Text.h"

namespace morvane {

std::optional<std::string> FileNameClaims::claim(const std::string& name) {
  const auto [at, fresh] = taken_.try_emplace(foldText(name, TextFold::LatinToLower), name);
  if (fresh) return std::nullopt;
  return at->second;
}

}  // namespace morvane
