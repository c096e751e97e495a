#pragma once
#include <csignal>
#include <iosfwd>
#include <string>

#include "model/Progress.h"

namespace morvane::batch {

// The progress of one command on stderr: one line rewritten in place when stderr is a terminal,
// nothing while it is not, so logs stay clean. While it lives, Ctrl+C asks the run to stop after
// the current table (a second Ctrl+C ends the program at once). The closing summary shows on a
// terminal, and anywhere after a Ctrl+C.
class TerminalProgress final : public ProgressSink {
 public:
  // job names the work in the summary: "スクリプト作成".
  explicit TerminalProgress(std::string job);
  ~TerminalProgress() override;
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  void begin(std::size_t total) override;
  void step(std::size_t index, const std::string& tableName) override;
  bool cancelled() override;
  void end(const ProgressTally& tally) override;

  // stderr with the progress line taken away, for a message between two tables.
  std::ostream& message();

 private:
  void clearLine();

  std::string job_;
  bool terminal_;
  bool lineShown_ = false;
  std::size_t total_ = 0;
  struct sigaction previous_ {};
};

// True once Ctrl+C came during a run; the commands after it do not start.
bool interrupted();

}  // namespace morvane::batch
