#pragma once
#include <QString>

#include "platform/text/VisibleText.h"

namespace morvane::ui {

// A fixed message and, on its second line, the reason when there is one.
inline QString withReason(const QString& prompt, const QString& reason) {
  return reason.isEmpty() ? prompt : prompt + QLatin1Char('\n') + reason;
}

// A name as a line of a list or menu shows it: a tab or line break in a cell shows as \t or \n,
// as in the terminal, instead of raw.
inline QString visibleLabel(const QString& text) {
  return QString::fromStdString(platform::visibleText(text.toStdString()));
}

}  // namespace morvane::ui
