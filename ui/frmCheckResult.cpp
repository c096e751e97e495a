#include "ui/frmCheckResult.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/ui_frmCheckResult.h"

namespace morvane::ui {
namespace {

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

frmCheckResult::frmCheckResult(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::frmCheckResult>()) {
  form_->setupUi(this);
  setModal(false);
  form_->lstFindings->header()->setStretchLastSection(true);
  connect(form_->cmdClose, &QPushButton::clicked, this, &QDialog::close);
  // itemActivated covers the double-click and Enter alike.
  connect(form_->lstFindings, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { sbChoose(item); });
}

frmCheckResult::~frmCheckResult() = default;

void frmCheckResult::sbShowFindings(std::vector<Finding> findings) {
  findings_ = std::move(findings);
  const FindingCounts counts = countFindings(findings_);
  const QString tally = QStringLiteral("エラー %1 件、警告 %2 件").arg(counts.errors).arg(counts.warnings);
  setWindowTitle(QStringLiteral("チェック結果 - ") + tally);
  form_->lblSummary->setText(findings_.empty() ? QStringLiteral("問題は見つかりませんでした")
                                               : tally + QStringLiteral("（ダブルクリックでテーブルを選択）"));
  QTreeWidget* list = form_->lstFindings;
  list->clear();
  for (std::size_t i = 0; i < findings_.size(); ++i) {
    const Finding& finding = findings_[i];
    auto* line = new QTreeWidgetItem(list, QStringList{fromUtf8(finding.sheet), fromUtf8(finding.cell),
                                                        fromUtf8(severityLabel(finding.severity)),
                                                        fromUtf8(finding.message)});
    line->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(i));
    line->setToolTip(3, fromUtf8(finding.message));
    if (finding.severity == Severity::Error) line->setForeground(2, QColor(192, 0, 0));
  }
  for (int column = 0; column < 3; ++column) list->resizeColumnToContents(column);
}

void frmCheckResult::sbChoose(QTreeWidgetItem* item) {
  if (!item) return;
  const auto index = static_cast<std::size_t>(item->data(0, Qt::UserRole).toULongLong());
  if (index < findings_.size()) emit findingChosen(findings_[index].tableIndex);
}

}  // namespace morvane::ui
