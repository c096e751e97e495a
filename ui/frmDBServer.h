#pragma once
#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>

#include "model/clsDBInfo.h"
#include "sqlserver/clsSQLServerDB.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

class QEventLoop;
class QLineEdit;

namespace Ui {
class frmDBServer;
}

namespace morvane::ui {

class WindowHub;

// The server connection window: server, database, user and password, and Create, which makes
// the handed tables on that database. Shown modal over the table list; stays open after a run.
class frmDBServer final : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmDBServer(WindowHub& hub);
  ~frmDBServer() override;

  // The tables to create; they are shared, not copied.
  void setDBInfo(const clsDBInfo& objDBInfo) { moobjDBInfo = objDBInfo; }
  // The program's type notation table, so the tables made here get the columns the scripts get.
  void setFieldAttr(std::shared_ptr<const clsSQLServerFieldAttr> objFieldAttr) {
    moobjFieldAttr = std::move(objFieldAttr);
  }

  // How long each table's script may wait for the server (default 60 s, 0: no limit).
  void setQueryTimeout(int seconds) { queryTimeoutSeconds_ = seconds; }

  // Loads (boxes filled with the last names) and shows the window; sbShowModal returns when it is
  // closed.
  void sbShow();
  void sbShowModal();
  // Shown for a comparison: the button reads 比較, and pressing it connects, hands the open
  // connection to compare and closes the window.
  using Comparison = std::function<void(clsSQLServerDB& db)>;
  void sbShowModalFor(Comparison compare);
  // Opens db with the boxes' values under a progress dialog; false, after telling the user why
  // (owner's message boxes), when it fails or the user cancels.
  bool fnConnect(clsSQLServerDB& db, QWidget* owner);
  void sbDiscard();
  bool isLoaded() const { return loaded_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Form_Load();
  bool fnCheckInput();
  // Keeps the server, database and user names for the next start.
  void sbRemember();
  void cmdCreateTable_Click();

  WindowHub& hub_;
  std::unique_ptr<Ui::frmDBServer> form_;
  clsDBInfo moobjDBInfo;
  std::shared_ptr<const clsSQLServerFieldAttr> moobjFieldAttr;
  QList<QLineEdit*> mocolTextBox;
  QEventLoop* modalLoop_ = nullptr;
  Comparison compare_;
  bool loaded_ = false;
  int queryTimeoutSeconds_ = clsSQLServerDB::kDefaultQueryTimeoutSeconds;
};

}  // namespace morvane::ui
