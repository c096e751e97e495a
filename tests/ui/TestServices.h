#pragma once
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>

#include "tests/support/DesignBook.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"
#include "ui/PlatformServices.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmTableList.h"

namespace morvane::ui::test {

struct ShownMessage {
  QString prompt;
  MessageIcon icon;
  int busyDepth;  // the busy pointers up when it was shown
};

struct AskedDialog {
  char kind;  // 'O'pen, 'S'ave or 'F'older
  QString filter;
  QWidget* owner;
};

// Records every message and dialog; dialogs take their answers from a queue (an exhausted
// queue answers like a cancel).
class TestServices final : public PlatformServices {
 public:
  std::vector<ShownMessage> messages;
  std::vector<AskedDialog> dialogs;
  std::deque<QString> answers;
  int busyDepth = 0;
  // Every run's progress, in order, with its title; a run cancels once cancelAfter tables started.
  std::vector<std::pair<QString, std::shared_ptr<morvane::test::RecordingProgress>>> runs;
  std::optional<std::size_t> cancelAfter;
  // Settings in a folder of the test's own, never the user's.
  QTemporaryDir settingsFolder;
  QSettings userSettings{settingsFolder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};

  void showMessage(QWidget*, const QString& prompt, MessageIcon icon) override {
    messages.push_back({prompt, icon, busyDepth});
  }
  QString openFileName(QWidget* owner, const QString& filter, const QString& = {}) override {
    return answer('O', filter, owner);
  }
  QString saveFileName(QWidget* owner, const QString& filter) override { return answer('S', filter, owner); }
  QString chooseFolder(QWidget* owner) override { return answer('F', QString(), owner); }
  void beginBusy() override { ++busyDepth; }
  void endBusy() override { --busyDepth; }
  std::unique_ptr<ProgressSink> startProgress(QWidget*, const QString& title) override {
    auto recording = std::make_shared<morvane::test::RecordingProgress>(cancelAfter);
    runs.emplace_back(title, recording);
    return std::make_unique<Forward>(recording);
  }
  QSettings& settings() override { return userSettings; }

 private:
  // The window owns the sink it is given; the recording outlives it for the test to read.
  class Forward final : public ProgressSink {
   public:
    explicit Forward(std::shared_ptr<ProgressSink> to) : to_(std::move(to)) {}
    void begin(std::size_t total) override { to_->begin(total); }
    void step(std::size_t index, const std::string& name) override { to_->step(index, name); }
    bool cancelled() override { return to_->cancelled(); }
    void end(const ProgressTally& tally) override { to_->end(tally); }

   private:
    std::shared_ptr<ProgressSink> to_;
  };

  QString answer(char kind, const QString& filter, QWidget* owner) {
    dialogs.push_back({kind, filter, owner});
    if (answers.empty()) return {};
    QString next = answers.front();
    answers.pop_front();
    return next;
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

// The ten number boxes of the layout window in window order, and the default layout.
inline const QStringList kNumberBoxes = {"txtSSheet",     "txtESheet",  "txtTableNmRow", "txtTableNmCol",
                                         "txtFieldStart", "txtFieldNm", "txtFieldAttr",  "txtFieldSize",
                                         "txtPKey",       "txtNull"};
inline const QStringList kDefaults = {"1", "4", "3", "3", "6", "4", "5", "6", "7", "9"};
inline const QStringList kServerBoxes = {"txtServer", "txtDB", "txtUser", "txtPasswd"};
inline const QStringList kOptionalBoxes = {
    "txtLogicalNm", "txtDefault",   "txtRemarks",           "txtUnique",
    "txtIndex",     "txtReference", "txtTableLogicalNmRow", "txtTableLogicalNmCol"};

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

  // The messages shown so far, a warning's marked with "!", and forgets them.
  QStringList take() {
    QStringList all;
    for (const ShownMessage& message : services.messages) {
      all << (message.icon == MessageIcon::Exclamation ? "!" : "") + message.prompt;
    }
    services.messages.clear();
    return all;
  }
  // The layout window filled with a path and a layout, then Next.
  void next(const QString& path, const QStringList& numbers = kDefaults) {
    layout().sbShow();
    setBoxes(layout(), kNumberBoxes, numbers);
    child(layout(), "txtFile")->setText(path);
    QTest::mouseClick(child<QPushButton>(layout(), "cmdOK"), Qt::LeftButton);
  }
  // A workbook of these sheets, read into the table list.
  void open(const std::vector<morvane::test::DesignSheet>& sheets) {
    morvane::test::writeDesignBook(bookPath().toStdString(), sheets);
    next(bookPath());
    QVERIFY(tables().isLoaded());
    QVERIFY(QTest::qWaitForWindowExposed(&tables()));
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
  std::string outFolder() {
    std::filesystem::create_directories(dir.file("out"));
    services.answers.push_back(QString::fromStdString(dir.file("out")));
    return dir.file("out");
  }
};

inline morvane::test::DesignSheet simpleTable(const std::string& name, const std::string& column = "id") {
  return {name, {{column, "int", "", "*"}}};
}

}  // namespace morvane::ui::test
