#pragma once
#include <QIdentityProxyModel>

namespace morvane::ui {

// The file dialog's list in Japanese: sizes as "12 KB", a folder's type as フォルダ, dates as
// "2026/12/08 07:10" and the column heads, over Qt's file system model.
class FileColumns final : public QIdentityProxyModel {
  Q_OBJECT
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
};

}  // namespace morvane::ui
