#pragma once
#include <QDialog>
#include <memory>

#include "document/clsExcelDBDocInfo.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace Ui {
class frmServerBook;
}

namespace morvane::ui {

class WindowHub;

// データベースから設計書を作成: asks for the server login, then for the workbook to write, and
// writes the database's dbo tables in the layout and notations handed to it.
class frmServerBook final : public QDialog {
  Q_OBJECT
 public:
  frmServerBook(WindowHub& hub, QWidget* owner);
  ~frmServerBook() override;

  // The whole command, modal over owner; the messages say how it ended.
  void sbRun(const clsExcelDBDocInfo& layout, const clsSQLServerFieldAttr& types);

 private:
  void cmdOK_Click();
  void sbWrite(const QString& path);

  WindowHub& hub_;
  std::unique_ptr<Ui::frmServerBook> form_;
  clsExcelDBDocInfo layout_;
  clsSQLServerFieldAttr types_;
};

}  // namespace morvane::ui
