#pragma once
#include <QString>
#include <QStringList>

class QSettings;

namespace morvane::ui {

// What the windows remember for the user between runs, in Qt's settings for the user (never a
// password). The store is a file anyone may have edited: values are cut to a sane length.
namespace setting {
inline const QString kWorkbook = QStringLiteral("files/workbook");
inline const QString kLayoutFile = QStringLiteral("files/layout");
inline const QString kTypeFile = QStringLiteral("files/types");
inline const QString kRecentWorkbooks = QStringLiteral("files/recent");
inline const QString kServer = QStringLiteral("server/name");
inline const QString kDatabase = QStringLiteral("server/database");
inline const QString kUser = QStringLiteral("server/user");
}  // namespace setting

// How many workbooks ﾌｧｲﾙ lists.
inline constexpr int kRecentWorkbookCount = 8;

// The text stored under key, empty when there is none or it is no text.
QString rememberedText(QSettings& settings, const QString& key);
void remember(QSettings& settings, const QString& key, const QString& text);

// The workbook becomes the last one and heads the recent list.
void rememberWorkbook(QSettings& settings, const QString& path);
QStringList recentWorkbooks(QSettings& settings);

}  // namespace morvane::ui
