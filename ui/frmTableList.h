#pragma once
#include <QMainWindow>
#include <QString>
#include <memory>

#include "document/clsExcelDBDocInfo.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace Ui {
class frmTableList;
}

namespace morvane::ui {

class WindowHub;

// The table list window as far as the layout definition window needs it: it takes the
// hand-over and goes Back. Reading the workbook and the Create commands join it later.
class frmTableList final : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmTableList(WindowHub& hub);
  ~frmTableList() override;

  // Set by the layout definition window before the window is shown.
  QString mostrFilePath;
  std::shared_ptr<clsExcelDBDocInfo> moobjExcelDocInfo;
  std::shared_ptr<clsSQLServerFieldAttr> moobjFAttr;

  void sbShow();
  void sbUnload();
  void sbDiscard();
  bool isLoaded() const { return loaded_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void cmdBack_Click();

  WindowHub& hub_;
  std::unique_ptr<Ui::frmTableList> form_;
  bool loaded_ = false;
};

}  // namespace morvane::ui
