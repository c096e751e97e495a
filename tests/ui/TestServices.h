#pragma once
#include <QtWidgets>
#include <QtTest>

#include "tests/support/DesignBook.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmTableList.h"

namespace morvane::ui::test {

// Records messages (a warning marked "!"), dialogs ('O'pen, 'S'ave or 'F'older, then the filter) and progress
// titles. Dialogs answer from a queue (empty: a cancel); a run cancels once cancelAfter tables started.
class TestServices final : public PlatformServices {
 public:
  QStringList messages, dialogs, answers, runs;
  int busyDepth = 0, busyMessages = 0;  // busy pointers up, and messages shown under one
  std::optional<std::size_t> cancelAfter;
  // Settings in a folder of the test's own, never the user's.
  QTemporaryDir settingsFolder;
  QSettings userSettings{settingsFolder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};

  void showMessage(QWidget*, const QString& prompt, MessageIcon icon) override {
    messages << (icon == MessageIcon::Exclamation ? "!" : "") + prompt;
    busyMessages += busyDepth > 0;
  }
  QString openFileName(QWidget*, const QString& filter, const QString&) override { return answer('O', filter); }
  QString saveFileName(QWidget*, const QString& filter) override { return answer('S', filter); }
  QString chooseFolder(QWidget*) override { return answer('F', QString()); }
  void beginBusy() override { ++busyDepth; }
  void endBusy() override { --busyDepth; }
  std::unique_ptr<ProgressSink> startProgress(QWidget*, const QString& title) override {
    runs << title;
    return std::make_unique<morvane::test::RecordingProgress>(cancelAfter);
  }
  QSettings& settings() override { return userSettings; }

 private:
  QString answer(char kind, const QString& filter) {
    dialogs << QChar::fromLatin1(kind) + filter;
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }
};

// The child of a window by its object name; a missing one ends the test program at once.
template <class T = QLineEdit>
T* child(const QObject& window, const QString& name) {
  T* found = window.findChild<T*>(name);
  if (found == nullptr) qFatal("no %s", qPrintable(name));
  return found;
}

inline void setBoxes(const QObject& window, const QStringList& names, const QStringList& values) {
  for (int i = 0; i < names.size(); ++i) child(window, names[i])->setText(values.value(i));
}

inline void trigger(const QObject& window, const QString& action) { child<QAction>(window, action)->trigger(); }
inline void press(const QObject& window, const QString& button) {
  QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

// The ten number boxes of the layout window in window order, and the default layout.
inline const QStringList kNumberBoxes = {"txtSSheet", "txtESheet", "txtTableNmRow", "txtTableNmCol", "txtFieldStart",
                                         "txtFieldNm", "txtFieldAttr", "txtFieldSize", "txtPKey", "txtNull"};
inline const QStringList kDefaults = {"1", "4", "3", "3", "6", "4", "5", "6", "7", "9"};
inline const QStringList kServerBoxes = {"txtServer", "txtDB", "txtUser", "txtPasswd"};
inline const QStringList kOptionalBoxes = {"txtLogicalNm", "txtDefault", "txtRemarks", "txtUnique", "txtIndex",
                                           "txtReference", "txtTableLogicalNmRow", "txtTableLogicalNmCol"};

inline QStringList texts(const QObject& window, const QStringList& boxes) {
  QStringList shown;
  for (const QString& name : boxes) shown << child(window, name)->text();
  return shown;
}

// A fresh set of windows over test services and a folder of the test's own.
struct Windows {
  TestServices services;
  morvane::test::TempDir dir;
  int endRequests = 0;
  WindowHub hub{services, [this] { ++endRequests; }};

  frmDBDef& layout() { return hub.dbDef(); }
  frmTableList& tables() { return hub.tableList(); }
  QListWidget* list() { return child<QListWidget>(tables(), "List1"); }
  QString path(const std::string& name) { return QString::fromStdString(dir.file(name)); }
  QString bookPath() { return path("design.xlsx"); }

  QStringList take() { return std::exchange(services.messages, {}); }
  // The layout window filled with a path and a layout, then Next.
  void next(const QString& path, const QStringList& numbers = kDefaults) {
    layout().sbShow();
    setBoxes(layout(), kNumberBoxes + QStringList{"txtFile"}, numbers + QStringList{path});
    press(layout(), "cmdOK");
  }
  // A workbook of these sheets, read into the table list.
  void open(const std::vector<morvane::test::DesignSheet>& sheets) {
    morvane::test::writeDesignBook(bookPath().toStdString(), sheets);
    next(bookPath());
    QVERIFY(tables().isLoaded() && QTest::qWaitForWindowExposed(&tables()));
  }
  // Clicks a line (1-based) as the user does; with Ctrl it is added to the selection.
  void click(int line, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, modifiers,
                      list()->visualItemRect(list()->item(line - 1)).center());
  }
  QList<int> selectedLines() {
    QList<int> rows;
    for (int row = 0; row < list()->count(); ++row) {
      if (list()->item(row)->isSelected()) rows << row + 1;
    }
    return rows;
  }
  // An output folder for the next folder dialog.
  void outFolder() {
    std::filesystem::create_directories(dir.file("out"));
    services.answers.push_back(path("out"));
  }
};

inline morvane::test::DesignSheet simpleTable(const std::string& name, const std::string& column = "id") {
  return {name, {{column, "int", "", "*"}}};
}

}  // namespace morvane::ui::test
