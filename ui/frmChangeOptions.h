#pragma once
#include <QDialog>
#include <memory>
#include <vector>

#include "sqlserver/ChangeRenames.h"

namespace Ui {
class frmChangeOptions;
}

namespace morvane::ui {

// Asked before the change scripts are written: which suggested renames to make (none checked),
// and whether to leave out the data-loss checks and to rebuild tables for identity changes.
class frmChangeOptions final : public QDialog {
  Q_OBJECT
 public:
  explicit frmChangeOptions(QWidget* parent = nullptr);
  ~frmChangeOptions() override;

  // One line with a check box per pair; the list is hidden when there is none.
  void sbSetSuggestions(std::vector<Rename> suggestions);
  std::vector<Rename> getRenames() const;
  bool getAllowDataLoss() const;
  bool getAllowRebuild() const;

 private:
  std::unique_ptr<Ui::frmChangeOptions> form_;
  std::vector<Rename> suggestions_;
};

}  // namespace morvane::ui
