#pragma once
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "ui/PlatformServices.h"

namespace morvane::ui::test {

struct ShownMessage {
  QString prompt;
  MessageIcon icon;
};

enum class DialogKind { Open, Save, Folder };

struct AskedDialog {
  DialogKind kind;
  QString filter;
  QWidget* owner;
};

// Records every message and dialog; dialogs take their answers from a queue (an exhausted
// queue answers like a cancel).
class TestServices final : public PlatformServices {
 public:
  std::vector<ShownMessage> messages;
  std::vector<AskedDialog> dialogs;
  std::deque<QString> answers;
  int busyDepth = 0;
  int busyRequests = 0;

  void showMessage(QWidget* owner, const QString& prompt, MessageIcon icon) override;
  QString openFileName(QWidget* owner, const QString& filter) override;
  QString saveFileName(QWidget* owner, const QString& filter) override;
  QString chooseFolder(QWidget* owner) override;
  void beginBusy() override;
  void endBusy() override;

 private:
  QString answer(DialogKind kind, const QString& filter, QWidget* owner);
};

}  // namespace morvane::ui::test
