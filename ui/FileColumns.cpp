#include "ui/FileColumns.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QLocale>

namespace morvane::ui {

QVariant FileColumns::data(const QModelIndex& index, int role) const {
  const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
  if (role != Qt::DisplayRole || files == nullptr || !index.isValid()) return QIdentityProxyModel::data(index, role);
  const QModelIndex file = mapToSource(index);
  switch (index.column()) {
    case 1:
      return files->isDir(file) ? QString()
                                : QLocale(QLocale::Japanese).formattedDataSize(files->size(file), 1,
                                                                               QLocale::DataSizeTraditionalFormat);
    case 2:
      if (files->isDir(file)) return QStringLiteral("フォルダ");
      break;
    case 3:
      return files->lastModified(file).toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    default:
      break;
  }
  return QIdentityProxyModel::data(index, role);
}

QVariant FileColumns::headerData(int section, Qt::Orientation orientation, int role) const {
  static const QString kHeads[] = {QStringLiteral("名前"), QStringLiteral("サイズ"), QStringLiteral("種類"),
                                   QStringLiteral("更新日時")};
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4) return kHeads[section];
  return QIdentityProxyModel::headerData(section, orientation, role);
}

}  // namespace morvane::ui
