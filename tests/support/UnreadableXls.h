#pragma once
// Workbooks kept under tests/fixtures for the backend, batch and window tests, and an .xlsx that
// cannot be opened with the words the reason for refusing it must hold.
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace morvane::test {

// The bytes of a file under tests/fixtures.
std::string fixtureBytes(const std::string& name);

struct UnreadablePackage {
  std::string label;
  std::string bytes;
  std::vector<std::string> words;
};

// A zip archive without a workbook (tests/fixtures/unreadable/<label>.xlsx).
std::vector<UnreadablePackage> unreadablePackages();

}  // namespace morvane::test
