#include "ui/NameOnlyIconProvider.h"

#include <QFileInfo>
#include <QMimeType>

namespace morvane::ui {

NameOnlyIconProvider::NameOnlyIconProvider() { setOptions(DontUseCustomDirectoryIcons); }

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
  if (info.isRoot()) return icon(Drive);
  return icon(info.isDir() ? Folder : File);
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
  // Folders, links and special files: the base class looks at the file's mode only.
  if (info.isRoot() || !info.isFile()) return QFileIconProvider::type(info);
  const QMimeType mime = types_.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
  return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

}  // namespace morvane::ui
