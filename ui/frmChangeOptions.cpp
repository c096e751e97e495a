#include "ui/frmChangeOptions.h"

#include <QPushButton>

#include "ui/ui_frmChangeOptions.h"

namespace morvane::ui {

frmChangeOptions::frmChangeOptions(QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::frmChangeOptions>()) {
  form_->setupUi(this);
  form_->cmdButtons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("作成(&O)"));
  form_->cmdButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(form_->cmdButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(form_->cmdButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  sbSetSuggestions({});
}

frmChangeOptions::~frmChangeOptions() = default;

void frmChangeOptions::sbSetSuggestions(std::vector<Rename> suggestions) {
  suggestions_ = std::move(suggestions);
  form_->lstRenames->clear();
  for (const Rename& rename : suggestions_) {
    auto* item = new QListWidgetItem(QStringLiteral("テーブル「%1」: 列「%2」→「%3」")
                                         .arg(QString::fromStdString(rename.table), QString::fromStdString(rename.column),
                                              QString::fromStdString(rename.to)),
                                     form_->lstRenames);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  form_->lblRenames->setVisible(!suggestions_.empty());
  form_->lstRenames->setVisible(!suggestions_.empty());
}

std::vector<Rename> frmChangeOptions::getRenames() const {
  std::vector<Rename> chosen;
  for (int row = 0; row < form_->lstRenames->count(); ++row) {
    if (form_->lstRenames->item(row)->checkState() == Qt::Checked) chosen.push_back(suggestions_[static_cast<std::size_t>(row)]);
  }
  return chosen;
}

bool frmChangeOptions::getAllowDataLoss() const { return form_->chkAllowDataLoss->isChecked(); }
bool frmChangeOptions::getAllowRebuild() const { return form_->chkAllowRebuild->isChecked(); }

}  // namespace morvane::ui
