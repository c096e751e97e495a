#pragma once
#include <QList>
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>

#include "document/clsExcelDBDocInfo.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

class QLineEdit;

namespace Ui {
class frmDBDef;
}

namespace morvane::ui {

class SelectAllOnFocus;
class WindowHub;

// The layout definition window: the workbook path, the ten layout numbers and the optional
// positions. The program starts here; Next hands the layout on to the table list window.
class frmDBDef final : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmDBDef(WindowHub& hub);
  ~frmDBDef() override;

  // Workbook path handed back by the table list window; shown in the path box at load.
  QString mostrFilePath;
  // The eleven boxes of the window as loaded, path box first.
  QList<QLineEdit*> mocolAllTextBox;
  // The program's one layout and one type notation table, shared by reference; made with
  // their defaults at first use (see docInfo() and fieldAttr()).
  std::shared_ptr<clsExcelDBDocInfo> moobjDocInfo;
  std::shared_ptr<clsSQLServerFieldAttr> moobjFAttr;

  const std::shared_ptr<clsExcelDBDocInfo>& docInfo();
  const std::shared_ptr<clsSQLServerFieldAttr>& fieldAttr();

  // Loads the window when it is not loaded (boxes emptied), then shows and raises it.
  void sbShow();
  // Closes the window; the members stay.
  void sbUnload();
  // Takes the window off the screen without any close handling (program end).
  void sbDiscard();
  bool isLoaded() const { return loaded_; }

  // Fills the ten number boxes and the optional ones (blank for 0) from the layout; the path
  // box is left alone.
  void sbSetTextBox();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Form_Load();
  void sbSetTextBoxList();
  void sbClearTextBox();
  bool fnCheckInput(std::int32_t lngMode);
  void sbGetTextBox();
  // False with the reason when the file cannot be written.
  bool fnSaveDocInfo(const QString& strPath, QString& strReason);
  // At the first load: the remembered workbook and setting files; true when a layout was read.
  bool sbRestore();
  // The recent workbooks, above 終了 in ﾌｧｲﾙ.
  void sbListRecent();
  void sbReportBox(QLineEdit* box, const QString& prompt);

  void cmdRefFile_Click();
  void cmdOK_Click();
  void mnuOpenDBDef_Click();
  void mnuSaveDBDef_Click();
  void mnuFieldAttr_Click();
  void mnuServerBook_Click();
  void mnuQuit_Click();

  WindowHub& hub_;
  std::unique_ptr<Ui::frmDBDef> form_;
  SelectAllOnFocus* selectAll_;
  QList<QLineEdit*> mocolNumTextBox;
  // The optional position boxes in window order; blank means not used.
  QList<QLineEdit*> mocolOptTextBox;
  bool loaded_ = false;
  bool restored_ = false;
  int fileBoxWidth_ = 0;
  int refFileLeft_ = 0;
};

}  // namespace morvane::ui
