#include "ui/WindowPlacement.h"

#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace morvane::ui {
namespace {

// The frame at topLeft, moved as little as needed to lie on the opener's screen.
void moveFrame(QWidget& window, const QWidget& opener, QPoint topLeft) {
  const QRect frame = window.frameGeometry();
  if (const QScreen* screen = opener.screen()) {
    const QRect room = screen->availableGeometry();
    topLeft.setX(std::max(room.left(), std::min(topLeft.x(), room.right() + 1 - frame.width())));
    topLeft.setY(std::max(room.top(), std::min(topLeft.y(), room.bottom() + 1 - frame.height())));
  }
  // A window's position is that of its frame.
  window.move(topLeft);
}

}  // namespace

void placeOver(QWidget& window, const QWidget& opener) { moveFrame(window, opener, opener.frameGeometry().topLeft()); }

void centreOn(QWidget& window, const QWidget& opener) {
  const QRect frame = window.frameGeometry();
  const QPoint centre = opener.frameGeometry().center();
  moveFrame(window, opener, QPoint(centre.x() - frame.width() / 2, centre.y() - frame.height() / 2));
}

}  // namespace morvane::ui
