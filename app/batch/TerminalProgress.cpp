#include "app/batch/TerminalProgress.h"

#include <unistd.h>

#include <iostream>

#include "app/batch/BatchOptions.h"
#include "platform/files/TemporaryFiles.h"
#include "platform/text/VisibleText.h"

namespace morvane::batch {
namespace {

volatile std::sig_atomic_t interruptSeen = 0;

// The first Ctrl+C asks for a stop after the table under way; the second ends the program at
// once, through the same path as SIGTERM, so that no temporary file stays behind.
void onInterrupt(int signal) {
  if (interruptSeen != 0) platform::endOnSignal(signal);
  interruptSeen = 1;
}

// Back to the start of the line, and the line emptied.
constexpr const char* kClearLine = "\r\x1b[K";

}  // namespace

bool interrupted() { return interruptSeen != 0; }

TerminalProgress::TerminalProgress(std::string job) : job_(std::move(job)), terminal_(::isatty(STDERR_FILENO) == 1) {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // Restarted calls let the table under way finish.
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &previous_);
}

TerminalProgress::~TerminalProgress() { ::sigaction(SIGINT, &previous_, nullptr); }

void TerminalProgress::begin(std::size_t total) { total_ = total; }

void TerminalProgress::step(std::size_t index, const std::string& tableName) {
  if (!terminal_) return;
  std::cerr << kClearLine << job_ << " " << index + 1 << " / " << total_ << " " << platform::visibleText(tableName) << std::flush;
  lineShown_ = true;
}

bool TerminalProgress::cancelled() { return interrupted(); }

void TerminalProgress::end(const ProgressTally& tally) {
  clearLine();
  if (!terminal_ && !tally.cancelled) return;
  std::cerr << "morvane-batch: " << job_ << (tally.cancelled ? "を中止しました" : "を終了しました") << " (完了 "
            << tally.done << "、失敗 " << tally.failed << "、未処理 " << tally.notStarted() << ")\n";
}

std::ostream& TerminalProgress::message() {
  clearLine();
  return std::cerr;
}

void TerminalProgress::clearLine() {
  if (!lineShown_) return;
  std::cerr << kClearLine << std::flush;
  lineShown_ = false;
}

}  // namespace morvane::batch
