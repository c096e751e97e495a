#include "ui/WindowPlacement.h"

#include <QLayout>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace morvane::ui {
namespace {

// The window's frame as it will be on screen. A window never shown yet has neither its final
// size (its layout grows it to its minimum on show) nor a frame; it will get the same frame as
// its opener.
QRect expectedFrame(QWidget& window, const QWidget& opener) {
  window.ensurePolished();
  if (QLayout* layout = window.layout()) layout->activate();
  if (window.testAttribute(Qt::WA_WState_Created) && window.isVisible()) return window.frameGeometry();
  const QRect outer = opener.frameGeometry(), inner = opener.geometry();
  const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                       outer.bottom() - inner.bottom());
  return QRect(window.pos(), window.size()).marginsAdded(frame);
}

// The frame at topLeft, moved as little as needed to lie on the opener's screen.
void moveFrame(QWidget& window, const QWidget& opener, QPoint topLeft, QSize frame) {
  if (const QScreen* screen = opener.screen()) {
    const QRect room = screen->availableGeometry();
    topLeft.setX(std::max(room.left(), std::min(topLeft.x(), room.right() + 1 - frame.width())));
    topLeft.setY(std::max(room.top(), std::min(topLeft.y(), room.bottom() + 1 - frame.height())));
  }
  // A window's position is that of its frame.
  window.move(topLeft);
}

}  // namespace

void placeOver(QWidget& window, const QWidget& opener) {
  moveFrame(window, opener, opener.frameGeometry().topLeft(), expectedFrame(window, opener).size());
}

void centreOn(QWidget& window, const QWidget& opener) {
  const QSize frame = expectedFrame(window, opener).size();
  const QPoint centre = opener.frameGeometry().center();
  moveFrame(window, opener, QPoint(centre.x() - frame.width() / 2, centre.y() - frame.height() / 2), frame);
}

void placeBeside(QWidget& window, const QWidget& opener) {
  const QSize frame = expectedFrame(window, opener).size();
  const QRect beside = opener.frameGeometry();
  QPoint topLeft(beside.right() + 1, beside.top());
  if (const QScreen* screen = opener.screen()) {
    const QRect room = screen->availableGeometry();
    // Where it does not fit at the right, the side with more room.
    const int right = room.right() + 1 - topLeft.x(), left = beside.left() - room.left();
    if (right < frame.width() && left > right) topLeft.setX(beside.left() - frame.width());
  }
  moveFrame(window, opener, topLeft, frame);
}

void keepAbove(QWidget& window, QWidget& opener) {
  QWindow* above = opener.window()->windowHandle();
  if (above == nullptr) {
    opener.window()->winId();
    above = opener.window()->windowHandle();
  }
  window.winId();
  if (window.windowHandle() != nullptr) window.windowHandle()->setTransientParent(above);
}

}  // namespace morvane::ui
