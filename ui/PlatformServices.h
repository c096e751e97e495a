#pragma once
#include <QString>
#include <memory>

#include "model/Progress.h"

class QSettings;
class QWidget;

namespace morvane::ui {

// The caption of every message box.
inline const QString kApplicationTitle = QStringLiteral("Morvane For SQLServer");

// The file dialog filter of design-document workbooks.
inline const QString kWorkbookFilter = QStringLiteral("Excelﾌｧｲﾙ|*.xls;*.xlsx");

enum class MessageIcon { None, Exclamation };

// What the windows need from the desktop: message boxes, file and folder dialogs and the busy
// pointer. The windows only talk to this interface, so tests can answer the dialogs.
class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // A modal box with the prompt and an OK button, captioned with the application title.
  virtual void showMessage(QWidget* owner, const QString& prompt, MessageIcon icon) = 0;
  // filter is "description|pattern" ("Excelﾌｧｲﾙ|*.xls"); the result is empty on cancel. title,
  // when given, names what is asked for instead of the dialog's own 開く.
  virtual QString openFileName(QWidget* owner, const QString& filter, const QString& title = {}) = 0;
  virtual QString saveFileName(QWidget* owner, const QString& filter) = 0;
  // A folder's path, empty on cancel.
  virtual QString chooseFolder(QWidget* owner) = 0;
  // Busy pointer requests nest; every begin is matched by an end.
  virtual void beginBusy() = 0;
  virtual void endBusy() = 0;
  // The progress of a run over tables started from owner; title names the work. Made and destroyed
  // on the UI thread, called by the run from a thread of its own.
  virtual std::unique_ptr<ProgressSink> startProgress(QWidget* owner, const QString& title) = 0;
  // What the windows remember for this user between runs (see UserSettings.h).
  virtual QSettings& settings() = 0;
};

// Keeps the busy pointer up for a scope, so an exception cannot leave it spinning.
class BusyPointer {
 public:
  explicit BusyPointer(PlatformServices& services) : services_(services) { services_.beginBusy(); }
  ~BusyPointer() { services_.endBusy(); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  PlatformServices& services_;
};

// "Excelﾌｧｲﾙ|*.xls;*.xlsx" -> "Excelﾌｧｲﾙ (*.xls *.xlsx)", the form the Qt dialogs take.
QString toQtFilter(const QString& filter);

}  // namespace morvane::ui
