#include "ui/TableRun.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QWidget>
#include <exception>
#include <thread>

#include "ui/PlatformServices.h"

namespace morvane::ui {
namespace {

// Swallows the user's input to every window but a progress dialog.
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

QString cancelledSummary(const ProgressTally& tally) {
  return QStringLiteral("作成処理を中止しました。\n完了 %1 件、失敗 %2 件、未処理 %3 件")
      .arg(tally.done)
      .arg(tally.failed)
      .arg(tally.notStarted());
}

}  // namespace morvane::ui
