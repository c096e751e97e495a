#pragma once
#include <QDialog>
#include <cstddef>
#include <memory>
#include <vector>

#include "sqlserver/DesignCheck.h"

namespace Ui {
class frmCheckResult;
}

class QTreeWidgetItem;

namespace morvane::ui {

// The findings of a check, one line each in sheet and row order, with the counts in the title.
// Not modal: the table list stays usable beside it.
class frmCheckResult final : public QDialog {
  Q_OBJECT
 public:
  explicit frmCheckResult(QWidget* parent = nullptr);
  ~frmCheckResult() override;

  // Replaces the lines with these findings.
  void sbShowFindings(std::vector<Finding> findings);
  const std::vector<Finding>& getFindings() const { return findings_; }

 signals:
  // A finding was double-clicked (or chosen with Enter); tableIndex is the table's place in the
  // checked set.
  void findingChosen(std::size_t tableIndex);

 private:
  void sbChoose(QTreeWidgetItem* item);

  std::unique_ptr<Ui::frmCheckResult> form_;
  std::vector<Finding> findings_;
};

}  // namespace morvane::ui
