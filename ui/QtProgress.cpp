#include "ui/QtProgress.h"

#include <QMetaObject>
#include <QPushButton>

#include "ui/PlatformServices.h"

namespace morvane::ui {

QString progressLabel(const QString& tableName, std::size_t index, std::size_t total) {
  return tableName + QLatin1Char('\n') + QStringLiteral("%1 / %2").arg(index + 1).arg(total);
}

QtProgress::QtProgress(QWidget* owner, const QString& title) : dialog_(new QProgressDialog(owner)) {
  dialog_->setWindowTitle(kApplicationTitle + QStringLiteral(" - ") + title);
  dialog_->setWindowModality(Qt::WindowModal);
  dialog_->setCancelButtonText(QStringLiteral("キャンセル"));
  dialog_->setLabelText(title);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setMinimumDuration(kShowAfterMs);
  dialog_->setMinimumWidth(360);
  QObject::connect(dialog_.data(), &QProgressDialog::canceled, dialog_.data(), [this] {
    cancelled_ = true;
    // The table under way still finishes: say so instead of closing at once.
    dialog_->setCancelButtonText(QString());
    dialog_->setLabelText(dialog_->labelText() + QStringLiteral("\n中止しています..."));
    dialog_->show();
  });
}

QtProgress::~QtProgress() { delete dialog_.data(); }

void QtProgress::begin(std::size_t total) {
  total_ = total;
  QMetaObject::invokeMethod(&relay_, [this, total] {
    if (!dialog_) return;
    dialog_->setMaximum(static_cast<int>(total));
    dialog_->setValue(0);
  }, Qt::QueuedConnection);
}

void QtProgress::step(std::size_t index, const std::string& tableName) {
  const QString label = progressLabel(QString::fromStdString(tableName), index, total_);
  QMetaObject::invokeMethod(&relay_, [this, label, index] {
    if (!dialog_ || dialog_->wasCanceled()) return;
    dialog_->setLabelText(label);
    dialog_->setValue(static_cast<int>(index));
  }, Qt::QueuedConnection);
}

void QtProgress::end(const ProgressTally&) {
  QMetaObject::invokeMethod(&relay_, [this] {
    if (dialog_) dialog_->hide();
  }, Qt::QueuedConnection);
}

}  // namespace morvane::ui
