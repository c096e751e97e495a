#include "ui/TextBoxes.h"

#include <QDropEvent>
#include <QFocusEvent>
#include <QMimeData>
#include <QUrl>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <optional>

namespace morvane::ui {

void sbSelectAllText(QLineEdit* box) { box->setSelection(0, static_cast<int>(box->text().size())); }

void SelectAllOnFocus::watch(QLineEdit* box) { box->installEventFilter(this); }

bool SelectAllOnFocus::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != nullptr) {
      sbSelectAllText(box);
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
        // The press that gave the focus places the caret after this event; select again then.
        QTimer::singleShot(0, box, [guard = QPointer<QLineEdit>(box)] {
          if (guard != nullptr && guard->hasFocus()) sbSelectAllText(guard);
        });
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

namespace {

// The local path of a drop of exactly one local file; nothing for any other drop of URLs.
std::optional<QString> droppedPath(const QMimeData* data) {
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
  return urls.front().toLocalFile();
}

}  // namespace

void LocalFileDrop::watch(QLineEdit* box) { box->installEventFilter(this); }

bool LocalFileDrop::eventFilter(QObject* watched, QEvent* event) {
  auto* box = qobject_cast<QLineEdit*>(watched);
  const QEvent::Type type = event->type();
  if (box == nullptr || (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)) {
    return QObject::eventFilter(watched, event);
  }
  auto* drop = static_cast<QDropEvent*>(event);
  if (!drop->mimeData()->hasUrls()) return QObject::eventFilter(watched, event);
  const std::optional<QString> path = droppedPath(drop->mimeData());
  if (!path) {
    drop->ignore();
    return true;
  }
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  if (type == QEvent::Drop) {
    box->setText(*path);
    box->setFocus(Qt::OtherFocusReason);
  }
  return true;
}

QValidator::State TypedLengthLimit::validate(QString& input, int&) const {
  return input.size() <= maxLength_ ? Acceptable : Invalid;
}

}  // namespace morvane::ui
