#include "TestServices.h"

namespace morvane::ui::test {

void TestServices::showMessage(QWidget*, const QString& prompt, MessageIcon icon) {
  messages.push_back({prompt, icon});
}

QString TestServices::openFileName(QWidget* owner, const QString& filter) {
  return answer(DialogKind::Open, filter, owner);
}

QString TestServices::saveFileName(QWidget* owner, const QString& filter) {
  return answer(DialogKind::Save, filter, owner);
}

QString TestServices::chooseFolder(QWidget* owner) { return answer(DialogKind::Folder, QString(), owner); }

void TestServices::beginBusy() {
  ++busyDepth;
  ++busyRequests;
}

void TestServices::endBusy() { --busyDepth; }

QString TestServices::answer(DialogKind kind, const QString& filter, QWidget* owner) {
  dialogs.push_back({kind, filter, owner});
  if (answers.empty()) return {};
  QString next = answers.front();
  answers.pop_front();
  return next;
}

}  // namespace morvane::ui::test
