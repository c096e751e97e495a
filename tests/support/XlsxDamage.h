#pragma once
// .xlsx files that cannot be opened, each with the words the reason for refusing it must hold.
// Shared by the backend, morvane-batch and table list tests, so that all three see the same cases.
#include <string>
#include <vector>

#include "tests/support/XlsxPackage.h"

namespace morvane::test {

struct UnreadablePackage {
  std::string label;
  std::string bytes;
  std::vector<std::string> words;
};

std::vector<UnreadablePackage> unreadablePackages();

// Overwrites a field of an entry's central directory record (offset within the record: 8 flags,
// 10 method, 16 CRC, 20 compressed size, 24 size, 42 local header). Throws when the entry is not there.
std::string patchDirectory(std::string zip, const std::string& entry, std::size_t field,
                           const std::string& bytes);
// A field of an entry's central directory record.
std::uint32_t directoryField(const std::string& zip, const std::string& entry, std::size_t field);

}  // namespace morvane::test
