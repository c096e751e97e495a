#pragma once
#include <QMainWindow>
#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

#include "document/clsExcelDBDocInfo.h"
#include "model/clsDBInfo.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace Ui {
class frmTableList;
}

namespace morvane::ui {

class WindowHub;
class frmCheckResult;

// The table list window: reads the workbook when it loads, lists its tables and runs the
// Create commands on the selected ones.
class frmTableList final : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmTableList(WindowHub& hub);
  ~frmTableList() override;

  // Set by the layout definition window before the window is shown.
  QString mostrFilePath;
  std::shared_ptr<clsExcelDBDocInfo> moobjExcelDocInfo;
  std::shared_ptr<clsSQLServerFieldAttr> moobjFAttr;

  // Loads the window when it is not loaded (the workbook is read anew), then shows it.
  void sbShow();
  // Closes the window; the members stay.
  void sbUnload();
  // Takes the window off the screen without any close handling (program end).
  void sbDiscard();
  bool isLoaded() const { return loaded_; }
  // The findings window of the last チェック; null before the first.
  frmCheckResult* checkResult() const { return checkResult_.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Reads the workbook and fills the list; returns why the workbook could not be read, or empty text.
  QString Form_Load();
  // The reason of a read error, or empty text.
  QString sbLoadDBInfo(clsDBInfo& objDBInfo);
  // Reads another workbook with the same layout; the reason of a read error, or empty text.
  QString sbLoadWorkbook(const QString& strPath, clsDBInfo& objDBInfo);
  // The tables of the selected lines in list order; a line stands for the table at its position.
  clsDBInfo fnSelectedTables() const;
  // Warns and returns false when no line is selected.
  bool fnCheckSelection();
  QString fnChooseFolder();
  // moobjFAttr, made with its defaults when nobody set it.
  const std::shared_ptr<clsSQLServerFieldAttr>& fieldAttr();
  void sbReport(const QString& prompt, bool warning);
  // Hides the lines whose names do not match the filter box; hidden lines lose their selection.
  void sbApplyFilter(const QString& strFilter);
  void sbUnselectHidden();

  void cmdBack_Click();
  void mnuMakeTable_Click();
  void mnuMakeCTSQL_Click();
  void mnuMakeChangeSQL_Click();
  void mnuMakeTableDoc_Click();
  void mnuCheck_Click();
  // Selects the list line of the table at that place in the last checked set.
  void sbSelectCheckedTable(std::size_t tableIndex);
  void mnuQuit_Click();

  WindowHub& hub_;
  std::unique_ptr<Ui::frmTableList> form_;
  clsDBInfo moobjDBInfo;
  // The layout the list was read with: findings name its cells even if the layout changes later.
  clsExcelDBDocInfo readLayout_;
  std::unique_ptr<frmCheckResult> checkResult_;
  std::vector<int> checkedRows_;  // the list line of each table of the last check
  bool loaded_ = false;
};

}  // namespace morvane::ui
