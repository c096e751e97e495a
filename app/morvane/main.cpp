// The windowed program: it opens the layout definition window and nothing else at start.
#include <QApplication>

#include "ui/QtJapanese.h"
#include "ui/QtPlatformServices.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(morvane::ui::kApplicationTitle);
  morvane::ui::loadQtJapanese();
  morvane::ui::QtPlatformServices services;
  morvane::ui::WindowHub hub(services, [] { QApplication::quit(); });
  hub.dbDef().sbShow();
  return QApplication::exec();
}
