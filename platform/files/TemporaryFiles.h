#pragma once
// The temporary files of writes under way, removed when a signal ends the program.

namespace morvane::platform {

// Lets SIGTERM, SIGINT, SIGHUP and SIGQUIT remove the temporary files of the writes under way
// before they end the program as they would have; a signal the program ignores stays ignored.
// Called once at start by each program; a handler installed later for one of them should end
// the program through endOnSignal.
void removeTemporaryFilesOnSignals();

// Removes the temporary files of the writes under way, then ends the program with the
// signal's default action. Async-signal-safe: for signal handlers.
[[noreturn]] void endOnSignal(int signal);

// The registry behind both; a temporary file is listed from its creation until it is renamed or
// removed. A temporary folder may be listed too: it is removed once the files in it are. Paths
// longer than the registry holds, or more files at once than it has places, are written all the
// same, just not cleaned up by a signal.
class TemporaryFileEntry {
 public:
  explicit TemporaryFileEntry(const char* path);
  ~TemporaryFileEntry();
  TemporaryFileEntry(const TemporaryFileEntry&) = delete;
  TemporaryFileEntry& operator=(const TemporaryFileEntry&) = delete;

 private:
  int slot_;
};

}  // namespace morvane::platform
