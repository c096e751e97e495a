#include "ui/QtJapanese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace morvane::ui {

bool loadQtJapanese() {
  // Installed once and kept for the whole run, as the application refers to it.
  static QTranslator* const translator = [] {
    auto* loaded = new QTranslator(QCoreApplication::instance());
    if (!loaded->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      delete loaded;
      return static_cast<QTranslator*>(nullptr);
    }
    QCoreApplication::installTranslator(loaded);
    return loaded;
  }();
  return translator != nullptr;
}

}  // namespace morvane::ui
