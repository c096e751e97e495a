#pragma once
// Files that a user may name as an .xls design document and that cannot be read: encrypted
// workbooks, old BIFF formats, damaged compound files and files of another kind. Shared by
// the backend, batch and window tests, which check the reason each one gets.
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace morvane::test {

// The bytes of a file under tests/fixtures.
std::string fixtureBytes(const std::string& name);

struct UnreadableFile {
  std::string what;    // for the test's trace
  std::string name;    // file name in the folder
  std::string reason;  // words the reason must hold
};

// Writes every case into dir.
std::vector<UnreadableFile> writeUnreadableXlsFiles(const TempDir& dir);

// A sound one-sheet .xls (table name in C3, a workbook stream of some 7 KB) as bytes, and the
// same with the compound file's small-stream cutoff so large that the workbook stream's sectors
// cannot be found.
std::string soundXlsBytes();
std::string xlsWithAbsurdStreamCutoff();

}  // namespace morvane::test
