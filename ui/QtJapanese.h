#pragma once

namespace morvane::ui {

// Puts Qt's own texts (dialog buttons, file dialog captions) into Japanese, whatever the system
// locale: the program speaks Japanese only. False when Qt's translations are not installed;
// the texts then stay in English.
bool loadQtJapanese();

}  // namespace morvane::ui
