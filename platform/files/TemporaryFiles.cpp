#include "platform/files/TemporaryFiles.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace morvane::platform {
namespace {

// Fixed storage, so that a signal handler can walk it without allocating or locking.
enum SlotState : int { kFree = 0, kFilling = 1, kLive = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  char path[4096] = {};
};

constexpr int kSlots = 32;
// All zero at load: initialized at start, the 128 KiB would be touched by every run.
constinit Slot slots[kSlots];

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

// Files first, then the folders they emptied (a private folder is listed like a file).
void removeLiveFiles() {
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kLive) ::unlink(slot.path);
  }
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kLive) ::rmdir(slot.path);
  }
}

void onSignal(int signal) { endOnSignal(signal); }

}  // namespace

TemporaryFileEntry::TemporaryFileEntry(const char* path) : slot_(-1) {
  const std::size_t length = std::strlen(path);
  if (length >= sizeof slots[0].path) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acq_rel)) {
      std::memcpy(slots[i].path, path, length + 1);
      slots[i].state.store(kLive, std::memory_order_release);
      slot_ = i;
      return;
    }
  }
}

TemporaryFileEntry::~TemporaryFileEntry() {
  if (slot_ >= 0) slots[slot_].state.store(kFree, std::memory_order_release);
}

void endOnSignal(int signal) {
  removeLiveFiles();
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  // Inside a handler the signal is blocked; let the default action through at once.
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // a signal whose default is not to end the program
}

void removeTemporaryFilesOnSignals() {
  for (const int signal : kSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0) continue;
    // Ignored (nohup) stays ignored; a handler of the program's own is left to call endOnSignal.
    if ((current.sa_flags & SA_SIGINFO) || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int other : kSignals) sigaddset(&action.sa_mask, other);
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace morvane::platform
