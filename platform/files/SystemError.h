#pragma once
#include <string>

namespace morvane::platform {

// The reason for a failed system call, in the program's language. Unusual numbers fall back
// to the C library's text, so that no reason is ever lost.
std::string describeSystemError(int errnum);

}  // namespace morvane::platform
