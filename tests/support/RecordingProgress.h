#pragma once
// A progress sink that writes down every call from any thread, and that answers a cancel once a given
// number of tables has started.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/Progress.h"

namespace morvane::test {

class RecordingProgress final : public ProgressSink {
 public:
  explicit RecordingProgress(std::optional<std::size_t> cancelAfter = std::nullopt) : cancelAfter_(cancelAfter) {}
  void begin(std::size_t total) override { add("begin " + std::to_string(total)); }
  void step(std::size_t index, const std::string& name) override { add("step " + std::to_string(index) + " " + name); }
  bool cancelled() override {
    const std::lock_guard lock(mutex_);
    return cancelAfter_ && steps_ >= *cancelAfter_;
  }
  // "end done/failed/not started", as the tally says.
  void end(const ProgressTally& t) override {
    add("end " + std::to_string(t.done) + "/" + std::to_string(t.failed) + "/" + std::to_string(t.notStarted()) +
        (t.cancelled ? " cancelled" : ""));
  }
  std::vector<std::string> calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  void add(std::string call) {
    const std::lock_guard lock(mutex_);
    steps_ += call.starts_with("step ");
    calls_.push_back(std::move(call));
  }
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::optional<std::size_t> cancelAfter_;
  std::size_t steps_ = 0;
};

}  // namespace morvane::test
