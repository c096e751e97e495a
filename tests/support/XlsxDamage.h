#pragma once
// .xlsx files that cannot be opened, each with the words the reason for refusing it must hold.
// Shared by the backend, morvane-batch and table list tests, so that all three see the same cases.
#include <string>
#include <vector>

namespace morvane::test {

struct UnreadablePackage {
  std::string label;
  std::string bytes;
  std::vector<std::string> words;
};

std::vector<UnreadablePackage> unreadablePackages();

}  // namespace morvane::test
