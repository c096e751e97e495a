#pragma once
#include <QMainWindow>
#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

#include "document/clsExcelDBDocInfo.h"
#include "model/Progress.h"
#include "model/clsDBInfo.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace Ui {
class frmTableList;
}

namespace morvane::ui {

class WindowHub;
class frmCheckResult;
class frmDrift;

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
  // The differences window of the last comparison; null before the first.
  frmDrift* drift() const { return drift_.get(); }

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
  // The title names the workbook; the status line counts shown and selected tables.
  void sbShowCounts();
  // The lines a check or comparison takes: the selected ones, or every shown one when none is.
  std::vector<int> fnCheckedRows() const;
  // Selects the line of the table and shows it, clearing a filter that hides it.
  void sbSelectRow(int row);

  void cmdBack_Click();
  void mnuMakeTable_Click();
  void mnuMakeCTSQL_Click();
  void mnuMakeChangeSQL_Click();
  void mnuMakeTableDoc_Click();
  void mnuCheck_Click();
  void mnuDrift_Click();
  // The change scripts that bring the compared database to the workbook: saved or run.
  void sbSaveDriftChanges();
  void sbRunDriftChanges();
  // Tells how a change run went: failures one by one, then each table's line and the counts.
  void sbReportChanges(QWidget* owner, const QStringList& failures, const QStringList& lines,
                       const ProgressTally& tally);
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
  std::unique_ptr<frmDrift> drift_;
  // What the last comparison compared: the workbook's tables and the database's.
  clsDBInfo driftTables_;
  std::vector<ServerTable> driftServer_;
  bool driftWhole_ = false;
  QString driftServerName_;
  bool loaded_ = false;
};

}  // namespace morvane::ui
