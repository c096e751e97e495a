#pragma once
#include <QString>
#include <functional>

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

// The closing message of a stopped run: "作成処理を中止しました。" and the three counts.
QString cancelledSummary(const ProgressTally& tally);

}  // namespace morvane::ui
