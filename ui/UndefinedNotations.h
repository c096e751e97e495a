#pragma once
#include <QString>
#include <QStringList>

#include "sqlserver/clsSQLServerDB.h"

namespace morvane::ui {

// "<table>: <notation>は未定義です", one line for each column the generator's last script left out,
// so the script and the server commands report lost columns alike.
inline QStringList undefinedNotationLines(const QString& table, const std::vector<std::string>& notations) {
  QStringList lines;
  for (const std::string& notation : notations) {
    lines << table + QStringLiteral(": ") + QString::fromStdString(notation) + QStringLiteral("は未定義です");
  }
  return lines;
}

inline QStringList undefinedNotationLines(const QString& table, const clsSQLServerDB& generator) {
  return undefinedNotationLines(table, generator.getUndefinedNotations());
}

// The foreign keys the last run left out or could not add, one a line; empty when all went.
inline QString foreignKeyLines(const clsSQLServerDB& generator) {
  QStringList lines;
  for (const std::string& line : generator.getForeignKeyFailures()) lines << QString::fromStdString(line);
  return lines.join(QLatin1Char('\n'));
}

}  // namespace morvane::ui
