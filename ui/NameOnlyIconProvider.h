#pragma once
#include <QFileIconProvider>
#include <QMimeDatabase>

namespace morvane::ui {

// File icons and types told from the name alone. Qt's own provider guesses a file's type from
// its first bytes when the name does not tell it, and reading a file such as /proc/kmsg blocks
// for good, on the thread that paints the file dialog.
class NameOnlyIconProvider final : public QFileIconProvider {
 public:
  NameOnlyIconProvider();
  using QFileIconProvider::icon;
  QIcon icon(const QFileInfo& info) const override;
  QString type(const QFileInfo& info) const override;

 private:
  QMimeDatabase types_;
};

}  // namespace morvane::ui
