#include "TestServices.h"

namespace morvane::ui::test {

void TestServices::showMessage(QWidget*, const QString& prompt, MessageIcon icon) {
  messages.push_back({prompt, icon});
}

QString TestServices::openFileName(QWidget*, const QString& filter) { return answer(DialogKind::Open, filter); }

QString TestServices::saveFileName(QWidget*, const QString& filter) { return answer(DialogKind::Save, filter); }

QString TestServices::chooseFolder(QWidget*) { return answer(DialogKind::Folder, QString()); }

void TestServices::beginBusy() {
  ++busyDepth;
  ++busyRequests;
}

void TestServices::endBusy() { --busyDepth; }

QString TestServices::answer(DialogKind kind, const QString& filter) {
  dialogs.push_back({kind, filter});
  if (answers.empty()) return {};
  QString next = answers.front();
  answers.pop_front();
  return next;
}

}  // namespace morvane::ui::test
