#include "ui/QtPlatformServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace morvane::ui {
namespace {

// "Excel設計書定義ファイル|*.edf" -> "edf": a name typed without extension gets the filter's.
QString defaultSuffix(const QString& filter) {
  const QString patterns = filter.mid(filter.indexOf(QLatin1Char('|')) + 1);
  const QString first = patterns.section(QLatin1Char(';'), 0, 0).trimmed();
  return first.startsWith(QStringLiteral("*.")) ? first.mid(2) : QString();
}

}  // namespace

void QtPlatformServices::showMessage(QWidget* owner, const QString& prompt, MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                  kApplicationTitle, prompt, QMessageBox::Ok, owner);
  // A busy pointer must not hide the fact that the box waits for the user.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (busy) QApplication::restoreOverrideCursor();
}

QString QtPlatformServices::openFileName(QWidget* owner, const QString& filter) {
  return QFileDialog::getOpenFileName(owner, QString(), QString(), toQtFilter(filter));
}

QString QtPlatformServices::saveFileName(QWidget* owner, const QString& filter) {
  QFileDialog dialog(owner, QString(), QString(), toQtFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix(filter));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString QtPlatformServices::chooseFolder(QWidget* owner) {
  return QFileDialog::getExistingDirectory(owner);
}

void QtPlatformServices::beginBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtPlatformServices::endBusy() { QApplication::restoreOverrideCursor(); }

}  // namespace morvane::ui
