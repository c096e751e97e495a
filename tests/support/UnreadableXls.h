#pragma once
// Workbooks kept under tests/fixtures for the backend, batch and window tests: a sound .xls, and
// an .xlsx that cannot be opened with the words the reason for refusing it must hold.
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace morvane::test {

// The bytes of a file under tests/fixtures.
std::string fixtureBytes(const std::string& name);

// A sound one-sheet .xls (table name in C3, a workbook stream of some 7 KB) as bytes.
std::string soundXlsBytes();

struct UnreadablePackage {
  std::string label;
  std::string bytes;
  std::vector<std::string> words;
};

// A zip archive without a workbook (tests/fixtures/unreadable/<label>.xlsx).
std::vector<UnreadablePackage> unreadablePackages();

}  // namespace morvane::test
