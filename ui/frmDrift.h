#pragma once
#include <QDialog>
#include <QString>
#include <memory>

#include "sqlserver/ServerDrift.h"

namespace Ui {
class frmDrift;
}

class QTreeWidgetItem;

namespace morvane::ui {

// How far the database is from the workbook, one line per table, and the way to close the gap:
// change scripts saved to a folder, or run on the database once the user has confirmed it.
// Not modal: the table list stays usable beside it.
class frmDrift final : public QDialog {
  Q_OBJECT
 public:
  explicit frmDrift(QWidget* parent = nullptr);
  ~frmDrift() override;

  // Replaces the lines; server names the database compared with.
  void sbShowDrift(const Drift& drift, const QString& server);
  const Drift& getDrift() const { return drift_; }
  // Dropping columns and tables the workbook lacks: off unless the user ticks it.
  bool getAllowDrop() const;
  // Leaving out the checks of the rows before what can lose data (--allow-data-loss): off too.
  bool getAllowDataLoss() const;

 signals:
  // A line was double-clicked (or chosen with Enter): the table of that name.
  void tableChosen(const QString& name);
  void saveRequested();
  void runRequested();

 private:
  std::unique_ptr<Ui::frmDrift> form_;
  Drift drift_;
};

// The kind of a table's drift as the window's second column says it.
QString driftKindLabel(TableDrift::Kind kind);

}  // namespace morvane::ui
