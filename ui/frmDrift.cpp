#include "ui/frmDrift.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/MessageText.h"
#include "ui/ui_frmDrift.h"

namespace morvane::ui {

QString driftKindLabel(TableDrift::Kind kind) {
  switch (kind) {
    case TableDrift::Kind::onlyInDocument: return QStringLiteral("ブックにだけある");
    case TableDrift::Kind::onlyInDatabase: return QStringLiteral("データベースにだけある");
    case TableDrift::Kind::differs: break;
  }
  return QStringLiteral("定義が違う");
}

frmDrift::frmDrift(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::frmDrift>()) {
  form_->setupUi(this);
  setModal(false);
  form_->lstDrift->header()->setStretchLastSection(true);
  connect(form_->cmdClose, &QPushButton::clicked, this, &QDialog::close);
  connect(form_->cmdSave, &QPushButton::clicked, this, &frmDrift::saveRequested);
  connect(form_->cmdRun, &QPushButton::clicked, this, &frmDrift::runRequested);
  // Running changes the user's database: only once the user has said so.
  connect(form_->chkConfirm, &QCheckBox::toggled, form_->cmdRun, &QPushButton::setEnabled);
  connect(form_->lstDrift, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) emit tableChosen(item->data(0, Qt::UserRole).toString());
  });
}

frmDrift::~frmDrift() = default;

bool frmDrift::getAllowDrop() const { return form_->chkAllowDrop->isChecked(); }
bool frmDrift::getAllowDataLoss() const { return form_->chkAllowDataLoss->isChecked(); }

void frmDrift::sbShowDrift(const Drift& drift, const QString& server) {
  drift_ = drift;
  form_->chkAllowDrop->setChecked(false);
  form_->chkAllowDataLoss->setChecked(false);
  form_->chkConfirm->setChecked(false);
  const QString count = QStringLiteral("%1 テーブル").arg(drift.tables.size());
  setWindowTitle(QStringLiteral("データベースとの違い - ") + count);
  QString summary = drift.tables.empty()
                        ? QStringLiteral("ブックとデータベース「%1」に違いはありません").arg(visibleLabel(server))
                        : QStringLiteral("データベース「%1」と違うテーブル: %2（ダブルクリックでテーブルを選択）")
                              .arg(visibleLabel(server), count);
  for (const std::string& warning : drift.warnings) summary += QLatin1Char('\n') + visibleLabel(QString::fromStdString(warning));
  form_->lblSummary->setText(summary);
  form_->cmdSave->setEnabled(!drift.tables.empty());
  QTreeWidget* list = form_->lstDrift;
  list->clear();
  for (const TableDrift& table : drift.tables) {
    const QString name = QString::fromStdString(table.name);
    // The line without its table head, which the first column shows.
    const QString head = visibleLabel(QStringLiteral("テーブル「") + name + QStringLiteral("」: "));
    const QString detail = visibleLabel(QString::fromStdString(driftLine(table))).mid(head.size());
    auto* line = new QTreeWidgetItem(list, QStringList{visibleLabel(name), driftKindLabel(table.kind), detail});
    line->setData(0, Qt::UserRole, name);
    line->setToolTip(2, detail);
  }
  for (int column = 0; column < 2; ++column) list->resizeColumnToContents(column);
}

}  // namespace morvane::ui
