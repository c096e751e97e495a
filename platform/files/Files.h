#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/files/TemporaryFiles.h"

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

// A new content for the file at a path, written beside it under a hidden temporary name
// (".name.tmpXXXXXX", the name part shortened so that it is never longer than a legal file
// name), then flushed and renamed over the old file by commit(). Until then the old file is
// untouched; a file never committed is removed, also when a signal ends the program (see
// platform/files/TemporaryFiles.h).
//
// What the user set is kept: a symbolic link is followed and the file it leads to is replaced
// (the link stays a link); an existing file keeps its permission bits (and, where the system
// allows, its owner); a read-only file (no write permission bit, or none for this user) is
// refused, as is anything that is not a regular file. Every failure throws FileError naming the
// file and the reason.
class PendingFile {
 public:
  explicit PendingFile(const std::string& path);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  void write(std::string_view bytes);
  void commit();
  // The file that commit() replaces: the path with its symbolic links followed.
  const std::string& target() const { return target_; }
  // Empty once committed.
  const std::string& temporaryPath() const { return temp_.path; }

 private:
  struct Removal {
    std::string path;  // removed at the end unless emptied
    ~Removal();
  };
  struct Descriptor {
    int fd = -1;
    ~Descriptor();
  };

  std::string path_;
  std::string target_;
  // Torn down in reverse: the file is closed, removed unless committed, and only then unlisted.
  std::optional<TemporaryFileEntry> entry_;
  Removal temp_;
  Descriptor file_;
};

// Replaces the file at path with the bytes through a PendingFile. Throws FileError.
void replaceFile(const std::string& path, std::string_view bytes);

// Why an existing path names nothing to read as a file: a FIFO (opening it would wait for a
// writer for ever), a device, a socket, or a system file of /proc or /sys (whose size says
// nothing about its content). Empty for a regular file, a folder or a path that is not there.
std::string specialFileReason(const std::string& path);

// Reads a whole file; throws FileError. Files larger than maxBytes are refused, and so is
// anything specialFileReason names, before it is opened.
std::string readFile(const std::string& path, std::size_t maxBytes = 64u << 20);

// The folder, one separator and the name; the separator is always added.
std::string joinPath(const std::string& folder, const std::string& name);

// Whether a table name can name a file inside the chosen folder without leaving it: not empty,
// not "." or "..", no '/' or '\\', no NUL.
bool isSafeFileStem(std::string_view name);

}  // namespace morvane::platform
