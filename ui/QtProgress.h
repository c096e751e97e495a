#pragma once
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <atomic>

#include "model/Progress.h"

namespace morvane::ui {

// A progress dialog that shows itself when the run takes longer than half a second. The run calls
// it from its own thread; every change to the dialog is handed to the UI thread.
class QtProgress final : public ProgressSink {
 public:
  // How long a run goes on before the dialog shows.
  static constexpr int kShowAfterMs = 500;

  QtProgress(QWidget* owner, const QString& title);
  ~QtProgress() override;
  QtProgress(const QtProgress&) = delete;
  QtProgress& operator=(const QtProgress&) = delete;

  void begin(std::size_t total) override;
  void step(std::size_t index, const std::string& tableName) override;
  bool cancelled() override { return cancelled_.load(); }
  void end(const ProgressTally& tally) override;

 private:
  // Lives on the UI thread for as long as the sink: the run's changes go through it, and those
  // still queued when the sink goes are dropped with it.
  QObject relay_;
  QPointer<QProgressDialog> dialog_;
  std::atomic<bool> cancelled_{false};
  std::atomic<std::size_t> total_{0};
};

// "顧客\n2 / 3": the table being worked on and how far the run is.
QString progressLabel(const QString& tableName, std::size_t index, std::size_t total);

}  // namespace morvane::ui
