#pragma once
#include <QList>
#include <QMainWindow>
#include <memory>

#include "sqlserver/clsSQLServerFieldAttr.h"

class QLineEdit;

namespace Ui {
class frmDatTypeSQLServer;
}

namespace morvane::ui {

class WindowHub;

// The type notation window: the nine notations of the shared table, one box each. Edits reach
// the table when the window closes; a blank box refuses the close.
class frmDatTypeSQLServer final : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmDatTypeSQLServer(WindowHub& hub);
  ~frmDatTypeSQLServer() override;

  // The table shown and edited, set by reference before the window is shown.
  std::shared_ptr<clsSQLServerFieldAttr> moDataType;

  // Loads the window when it is not loaded (boxes filled from the table), shows and raises it.
  void sbShow();
  // A close request from another window; false when a blank box refused it.
  bool fnUnload();
  // Takes the window off the screen without the close check (program end).
  void sbDiscard();
  bool isLoaded() const { return loaded_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  const std::shared_ptr<clsSQLServerFieldAttr>& dataType();
  void Form_Load();
  bool Form_QueryUnload();
  void sbShowDataType();
  void sbGetDataType();
  bool fnCheckDataType();

  void mnuOpen_Click();
  void mnuSave_Click();
  void mnuQuit_Click();

  WindowHub& hub_;
  std::unique_ptr<Ui::frmDatTypeSQLServer> form_;
  QList<QLineEdit*> textBoxes_;
  bool loaded_ = false;
};

}  // namespace morvane::ui
