#include "ui/UserSettings.h"

#include <QSettings>
#include <QVariant>

namespace morvane::ui {
namespace {

// Longer than any path or name a person types.
constexpr qsizetype kMaxLength = 4096;

}  // namespace

QString rememberedText(QSettings& settings, const QString& key) {
  const QVariant value = settings.value(key);
  if (!value.canConvert<QString>()) return {};
  const QString text = value.toString();
  return text.size() > kMaxLength ? QString() : text;
}

void remember(QSettings& settings, const QString& key, const QString& text) {
  settings.setValue(key, text.left(kMaxLength));
  settings.sync();
}

QStringList recentWorkbooks(QSettings& settings) {
  QStringList recent;
  const QVariant value = settings.value(setting::kRecentWorkbooks);
  for (const QString& path : value.toStringList()) {
    if (!path.isEmpty() && path.size() <= kMaxLength && !recent.contains(path)) recent << path;
    if (recent.size() == kRecentWorkbookCount) break;
  }
  return recent;
}

void rememberWorkbook(QSettings& settings, const QString& path) {
  QStringList recent = recentWorkbooks(settings);
  recent.removeAll(path);
  recent.prepend(path);
  settings.setValue(setting::kRecentWorkbooks, recent.mid(0, kRecentWorkbookCount));
  remember(settings, setting::kWorkbook, path);
}

}  // namespace morvane::ui
