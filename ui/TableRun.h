#pragma once
#include <QString>
#include <atomic>
#include <functional>
#include <string>

#include "model/Progress.h"

class QWidget;

namespace morvane::ui {

class PlatformServices;

// Runs work on a thread of its own while the event loop turns, so the windows repaint and move;
// returns when it is done and passes on what it threw. The user's clicks and keys reach only a
// progress dialog meanwhile, so no second command starts and no window closes under the run.
// work must not touch a widget.
void runOffUiThread(const std::function<void()>& work);

// A run over tables under the services' progress (title names the work), off the UI thread.
ProgressTally runTables(PlatformServices& services, QWidget* owner, const QString& title,
                        const std::function<ProgressTally(ProgressSink&)>& run);

// The closing message of a run: "作成処理を終了しました。" or, for a stopped one,
// "作成処理を中止しました。", and the three counts.
QString runSummary(const ProgressTally& tally);

// Whether a failed table's reason says the connection to the server is gone (the driver's texts
// of SQLSTATE 08S01, "Communication link failure" and the like): every later table would fail
// the same way.
bool isConnectionLost(const std::string& reason);

// Passes a run's progress on, and stops the run as a cancel does once stop() was called (a lost
// server, after which every other table would fail the same way).
class StoppableProgress final : public ProgressSink {
 public:
  explicit StoppableProgress(ProgressSink& to) : to_(to) {}
  void stop() { stopped_ = true; }
  bool stopped() const { return stopped_.load(); }
  void begin(std::size_t total) override { to_.begin(total); }
  void step(std::size_t index, const std::string& tableName) override { to_.step(index, tableName); }
  bool cancelled() override { return stopped_.load() || to_.cancelled(); }
  void end(const ProgressTally& tally) override { to_.end(tally); }

 private:
  ProgressSink& to_;
  std::atomic<bool> stopped_{false};
};

}  // namespace morvane::ui
