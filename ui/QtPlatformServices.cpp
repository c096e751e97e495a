#include "ui/QtPlatformServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QHeaderView>
#include <QTreeView>
#include <algorithm>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>

#include "ui/FileColumns.h"
#include "ui/NameOnlyIconProvider.h"
#include "ui/QtProgress.h"

namespace morvane::ui {
namespace {

// "Excel設計書定義ファイル|*.edf" -> "edf": a name typed without extension gets the filter's.
QString defaultSuffix(const QString& filter) {
  const QString patterns = filter.mid(filter.indexOf(QLatin1Char('|')) + 1);
  const QString first = patterns.section(QLatin1Char(';'), 0, 0).trimmed();
  return first.startsWith(QStringLiteral("*.")) ? first.mid(2) : QString();
}

// Qt's own dialog, not the desktop's, so that nothing reads a file to show it: see
// NameOnlyIconProvider. The provider outlives the dialog that uses it.
class FileDialog {
 public:
  FileDialog(QWidget* owner, const QString& filter) : dialog_(owner, QString(), QString(), toQtFilter(filter)) {
    dialog_.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontUseCustomDirectoryIcons);
    dialog_.setIconProvider(&icons_);
    dialog_.setProxyModel(new FileColumns(&dialog_));
    // Room for a long name and a whole date.
    dialog_.resize(std::max(dialog_.width(), 760), std::max(dialog_.height(), 460));
    if (auto* list = dialog_.findChild<QTreeView*>(QStringLiteral("treeView"))) {
      const int widths[] = {300, 90, 130, 130};
      for (int column = 0; column < 4; ++column) list->header()->resizeSection(column, widths[column]);
    }
  }
  QFileDialog& operator*() { return dialog_; }
  QFileDialog* operator->() { return &dialog_; }
  // The chosen path, empty on cancel.
  QString exec() {
    if (dialog_.exec() != QDialog::Accepted || dialog_.selectedFiles().isEmpty()) return {};
    return dialog_.selectedFiles().constFirst();
  }

 private:
  NameOnlyIconProvider icons_;
  QFileDialog dialog_;
};

// A narrow box would cut its title short and break a long line in the middle of a word (a path,
// a driver's reason): the box is made as wide as the title needs, with room for the title bar's
// buttons, and as its longest line needs, up to three quarters of the screen.
void fitTitle(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  QFont titleFont = box.font();
  titleFont.setBold(true);
  const int buttons = 4 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
  int longest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n'))) {
    longest = std::max(longest, box.fontMetrics().horizontalAdvance(line));
  }
  const int screen = box.screen() != nullptr ? box.screen()->availableGeometry().width() * 3 / 4 : 600;
  // The box breaks the text at its own narrow width, whatever the words: its label gets the room.
  if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    label->setMinimumWidth(std::min(longest + 2, screen));
  }
  const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) * 5 / 4 + buttons;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                grid->columnCount());
}

}  // namespace

void QtPlatformServices::showMessage(QWidget* owner, const QString& prompt, MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                  kApplicationTitle, prompt, QMessageBox::Ok, owner);
  fitTitle(box);
  // A busy pointer must not hide the fact that the box waits for the user.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (busy) QApplication::restoreOverrideCursor();
}

QString QtPlatformServices::openFileName(QWidget* owner, const QString& filter, const QString& title) {
  FileDialog dialog(owner, filter);
  if (!title.isEmpty()) dialog->setWindowTitle(title);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  return dialog.exec();
}

QString QtPlatformServices::saveFileName(QWidget* owner, const QString& filter) {
  FileDialog dialog(owner, filter);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setDefaultSuffix(defaultSuffix(filter));
  return dialog.exec();
}

QString QtPlatformServices::chooseFolder(QWidget* owner) {
  FileDialog dialog(owner, QString());
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  return dialog.exec();
}

void QtPlatformServices::beginBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtPlatformServices::endBusy() { QApplication::restoreOverrideCursor(); }

std::unique_ptr<ProgressSink> QtPlatformServices::startProgress(QWidget* owner, const QString& title) {
  return std::make_unique<QtProgress>(owner, title);
}

}  // namespace morvane::ui
