#include "ui/frmTableList.h"

#include <QCloseEvent>

#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/ui_frmTableList.h"

namespace morvane::ui {

frmTableList::frmTableList(WindowHub& hub) : hub_(hub), form_(std::make_unique<Ui::frmTableList>()) {
  form_->setupUi(this);
  connect(form_->cmdBack, &QPushButton::clicked, this, &frmTableList::cmdBack_Click);
}

frmTableList::~frmTableList() = default;

void frmTableList::sbShow() {
  if (!loaded_) {
    form_->List1->clear();
    loaded_ = true;
  }
  show();
  raise();
  activateWindow();
}

void frmTableList::sbUnload() {
  if (loaded_) close();
}

void frmTableList::sbDiscard() {
  loaded_ = false;
  hide();
}

void frmTableList::closeEvent(QCloseEvent* event) {
  loaded_ = false;
  event->accept();
}

void frmTableList::cmdBack_Click() {
  frmDBDef& dbDef = hub_.dbDef();
  dbDef.mostrFilePath = mostrFilePath;
  dbDef.moobjDocInfo = moobjExcelDocInfo;
  dbDef.sbShow();
  dbDef.sbSetTextBox();
  sbUnload();
}

}  // namespace morvane::ui
