#pragma once
#include <QSettings>

#include "ui/PlatformServices.h"

namespace morvane::ui {

// The desktop's own dialogs and pointer.
class QtPlatformServices final : public PlatformServices {
 public:
  void showMessage(QWidget* owner, const QString& prompt, MessageIcon icon) override;
  QString openFileName(QWidget* owner, const QString& filter, const QString& title = {}) override;
  QString saveFileName(QWidget* owner, const QString& filter) override;
  QString chooseFolder(QWidget* owner) override;
  void beginBusy() override;
  void endBusy() override;
  // A dialog with the table, n / total and キャンセル, once the run has taken half a second.
  std::unique_ptr<ProgressSink> startProgress(QWidget* owner, const QString& title) override;
  // The user's own settings file of the program, where Qt keeps them on this desktop.
  QSettings& settings() override { return settings_; }

 private:
  QSettings settings_{QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("morvane"),
                      QStringLiteral("morvane")};
};

}  // namespace morvane::ui
