#pragma once
#include <string>

namespace morvane::platform {

// The file's modification time in local time with its offset from UTC, as
// "2026-12-07 20:10:00 +0900". Throws FileError when the file cannot be examined.
std::string modificationTimeText(const std::string& path);

}  // namespace morvane::platform
