#pragma once
#include <string>

namespace morvane::batch {

// Creates the output folder of --sql or --html (and its parents) when it is missing, as a user
// of a command-line tool expects. False, with one line on stderr, when it cannot be made.
bool ensureOutputFolder(const std::string& option, const std::string& folder);

}  // namespace morvane::batch
