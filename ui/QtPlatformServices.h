#pragma once
#include "ui/PlatformServices.h"

namespace morvane::ui {

// The desktop's own dialogs and pointer.
class QtPlatformServices final : public PlatformServices {
 public:
  void showMessage(QWidget* owner, const QString& prompt, MessageIcon icon) override;
  QString openFileName(QWidget* owner, const QString& filter) override;
  QString saveFileName(QWidget* owner, const QString& filter) override;
  QString chooseFolder(QWidget* owner) override;
  void beginBusy() override;
  void endBusy() override;
  // A dialog with the table, n / total and キャンセル, once the run has taken half a second.
  std::unique_ptr<ProgressSink> startProgress(QWidget* owner, const QString& title) override;
};

}  // namespace morvane::ui
