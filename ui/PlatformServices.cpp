#include "ui/PlatformServices.h"

#include <QStringList>

namespace morvane::ui {

QString toQtFilter(const QString& filter) {
  const qsizetype bar = filter.indexOf(QLatin1Char('|'));
  if (bar < 0) return filter;
  const QString description = filter.left(bar);
  QStringList patterns = filter.mid(bar + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString& pattern : patterns) pattern = pattern.trimmed();
  return description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace morvane::ui
