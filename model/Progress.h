#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "model/clsDBInfo.h"

namespace morvane {

// How a run over the selected tables ended.
struct ProgressTally {
  std::size_t total = 0;
  std::size_t done = 0;
  std::size_t failed = 0;
  bool cancelled = false;
  std::size_t notStarted() const { return total - done - failed; }
};

// Told about a run over tables, one table at a time; the windows show a dialog, the terminal a line.
// A run may call it from a thread of its own.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void begin(std::size_t total) = 0;
  // Before the table at index (from 0) is worked on.
  virtual void step(std::size_t index, const std::string& tableName) = 0;
  // Asked before each table: true stops the run there, never inside a table.
  virtual bool cancelled() = 0;
  virtual void end(const ProgressTally& tally) = 0;
};

// For callers that watch nothing.
class NoProgress final : public ProgressSink {
 public:
  void begin(std::size_t) override {}
  void step(std::size_t, const std::string&) override {}
  bool cancelled() override { return false; }
  void end(const ProgressTally&) override {}
};

// Runs work on each table in order, telling the sink; work returns false for a table that failed.
// An exception from work counts that table as failed, leaves the rest not started, ends the sink
// and is passed on.
ProgressTally forEachTable(const std::vector<TablePtr>& tables, ProgressSink& sink,
                           const std::function<bool(const clsTableInfo&)>& work);

}  // namespace morvane
