#pragma once

class QWidget;

namespace morvane::ui {

// Where a window opens: over the window that opened it, not wherever the window manager puts
// it. Only the position is set; a window keeps the size the user gave it. Both keep the window
// on the opener's screen.

// Same top-left corner as the opener (one window takes the other's place).
void placeOver(QWidget& window, const QWidget& opener);
// Centred on the opener (a window opened beside or over it).
void centreOn(QWidget& window, const QWidget& opener);

}  // namespace morvane::ui
