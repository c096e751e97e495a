#include "ui/TableRun.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QWidget>
#include <algorithm>
#include <exception>
#include <string_view>
#include <thread>

#include "ui/PlatformServices.h"

namespace morvane::ui {
namespace {

// Swallows the user's input to every window but a progress dialog; Esc, wherever it is pressed,
// cancels the run as the dialog's キャンセル does, also before the dialog shows.
class HoldInput final : public QObject {
 public:
  HoldInput() { qApp->installEventFilter(this); }
  ~HoldInput() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* target, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
      case QEvent::Shortcut:
      case QEvent::Close:
        break;
      default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(target);
    if (widget == nullptr) return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<QProgressDialog*>(window);
        if (progress != nullptr && !progress->wasCanceled()) emit progress->canceled();
      }
      return true;
    }
    if (qobject_cast<QProgressDialog*>(widget->window()) != nullptr) return false;
    if (event->type() == QEvent::Close) event->ignore();
    return true;
  }
};

}  // namespace

void runOffUiThread(const std::function<void()>& work) {
  const HoldInput hold;
  QEventLoop loop;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

ProgressTally runTables(PlatformServices& services, QWidget* owner, const QString& title,
                        const std::function<ProgressTally(ProgressSink&)>& run) {
  const BusyPointer busy(services);
  const std::unique_ptr<ProgressSink> progress = services.startProgress(owner, title);
  ProgressTally tally;
  runOffUiThread([&] { tally = run(*progress); });
  return tally;
}

bool isConnectionLost(const std::string& reason) {
  // The drivers' texts of SQLSTATE 08S01; the reason carries no state of its own.
  static constexpr std::string_view kLost[] = {"Communication link failure", "Unexpected EOF from the server",
                                                "Read from the server failed", "Write to the server failed",
                                                "TCP Provider:"};
  return std::any_of(std::begin(kLost), std::end(kLost),
                     [&](std::string_view text) { return reason.find(text) != std::string::npos; });
}

QString runSummary(const ProgressTally& tally) {
  return (tally.cancelled ? QStringLiteral("作成処理を中止しました。") : QStringLiteral("作成処理を終了しました。")) +
         QStringLiteral("\n完了 %1 件、失敗 %2 件、未処理 %3 件")
      .arg(tally.done)
      .arg(tally.failed)
      .arg(tally.notStarted());
}

}  // namespace morvane::ui
