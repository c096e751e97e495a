#pragma once
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "tests/support/RecordingProgress.h"
#include "ui/PlatformServices.h"

namespace morvane::ui::test {

struct ShownMessage {
  QString prompt;
  MessageIcon icon;
};

enum class DialogKind { Open, Save, Folder };

struct AskedDialog {
  DialogKind kind;
  QString filter;
  QWidget* owner;
  QString title;
};

// Records every message and dialog; dialogs take their answers from a queue (an exhausted
// queue answers like a cancel).
class TestServices final : public PlatformServices {
 public:
  std::vector<ShownMessage> messages;
  std::vector<AskedDialog> dialogs;
  std::deque<QString> answers;
  int busyDepth = 0;
  int busyRequests = 0;
  // Every run's progress, in order, with its title; a run cancels once cancelAfter tables started.
  std::vector<std::pair<QString, std::shared_ptr<morvane::test::RecordingProgress>>> runs;
  std::optional<std::size_t> cancelAfter;
  // Settings in a folder of the test's own, never the user's.
  QTemporaryDir settingsFolder;
  QSettings userSettings{settingsFolder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};

  void showMessage(QWidget*, const QString& prompt, MessageIcon icon) override { messages.push_back({prompt, icon}); }
  QString openFileName(QWidget* owner, const QString& filter, const QString& title = {}) override {
    return answer(DialogKind::Open, filter, owner, title);
  }
  QString saveFileName(QWidget* owner, const QString& filter) override { return answer(DialogKind::Save, filter, owner); }
  QString chooseFolder(QWidget* owner) override { return answer(DialogKind::Folder, QString(), owner); }
  void beginBusy() override {
    ++busyDepth;
    ++busyRequests;
  }
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

  QString answer(DialogKind kind, const QString& filter, QWidget* owner, const QString& title = {}) {
    dialogs.push_back({kind, filter, owner, title});
    if (answers.empty()) return {};
    QString next = answers.front();
    answers.pop_front();
    return next;
  }
};

}  // namespace morvane::ui::test
