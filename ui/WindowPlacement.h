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
// Beside the opener, top edges level: at its right, or at its left when the screen has more room
// there, so neither hides the other's boxes.
void placeBeside(QWidget& window, const QWidget& opener);
// The opener becomes the window's parent for the window manager: the window stays above it and
// raising the opener does not hide it.
void keepAbove(QWidget& window, QWidget& opener);

}  // namespace morvane::ui
