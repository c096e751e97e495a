#pragma once
#include <QString>
#include <deque>
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

  void showMessage(QWidget*, const QString& prompt, MessageIcon icon) override { messages.push_back({prompt, icon}); }
  QString openFileName(QWidget* owner, const QString& filter) override { return answer(DialogKind::Open, filter, owner); }
  QString saveFileName(QWidget* owner, const QString& filter) override { return answer(DialogKind::Save, filter, owner); }
  QString chooseFolder(QWidget* owner) override { return answer(DialogKind::Folder, QString(), owner); }
  void beginBusy() override {
    ++busyDepth;
    ++busyRequests;
  }
  void endBusy() override { --busyDepth; }

 private:
  QString answer(DialogKind kind, const QString& filter, QWidget* owner) {
    dialogs.push_back({kind, filter, owner});
    if (answers.empty()) return {};
    QString next = answers.front();
    answers.pop_front();
    return next;
  }
};

}  // namespace morvane::ui::test
