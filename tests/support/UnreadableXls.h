#pragma once
// Workbooks kept under tests/fixtures for the backend, batch and window tests: a sound .xls, and
// ones that cannot be opened, each with the words the reason for refusing it must hold.
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace morvane::test {

// The bytes of a file under tests/fixtures.
std::string fixtureBytes(const std::string& name);

// A sound one-sheet .xls (table name in C3, a workbook stream of some 7 KB) as bytes, and the
// same with the compound file's small-stream cutoff so large that the stream cannot be found.
std::string soundXlsBytes();
std::string xlsWithAbsurdStreamCutoff();

struct UnreadablePackage {
  std::string label;
  std::string bytes;
  std::vector<std::string> words;
};

// .xlsx files that cannot be opened, from tests/fixtures/unreadable/<label>.xlsx.
std::vector<UnreadablePackage> unreadablePackages();

}  // namespace morvane::test
