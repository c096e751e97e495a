#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

namespace morvane::platform {

// A file that could not be read or written; the message names the file and the system's reason.
class FileError : public std::runtime_error {
 public:
  explicit FileError(const std::string& message, int code = 0) : std::runtime_error(message), code_(code) {}
  // The system's error number (errno), 0 when the failure has none.
  int code() const { return code_; }

 private:
  int code_;
};

// Replaces the file at path with the bytes: written to a temporary file in the same folder,
// flushed, then renamed over the old one, so a failure never leaves a truncated file or
// destroys the previous one. Throws FileError.
void replaceFile(const std::string& path, std::string_view bytes);

// Reads a whole file; throws FileError. Files larger than maxBytes are refused.
std::string readFile(const std::string& path, std::size_t maxBytes = 64u << 20);

// The folder, one separator and the name; the separator is always added.
std::string joinPath(const std::string& folder, const std::string& name);

// Whether a table name can name a file inside the chosen folder without leaving it: not empty,
// not "." or "..", no '/' or '\\', no NUL.
bool isSafeFileStem(std::string_view name);

}  // namespace morvane::platform
