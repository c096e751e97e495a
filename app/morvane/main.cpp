// The windowed program: it opens the layout definition window and nothing else at start.
#include <QApplication>

#include "platform/files/TemporaryFiles.h"
#include "ui/QtJapanese.h"
#include "ui/QtPlatformServices.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"

int main(int argc, char* argv[]) {
  // A window closed by a signal leaves no temporary file of a write under way.
  morvane::platform::removeTemporaryFilesOnSignals();
  QApplication app(argc, argv);
  QApplication::setApplicationName(morvane::ui::kApplicationTitle);
  morvane::ui::loadQtJapanese();
  morvane::ui::QtPlatformServices services;
  morvane::ui::WindowHub hub(services, [] { QApplication::quit(); });
  hub.dbDef().sbShow();
  return QApplication::exec();
}
