#include "ui/TextBoxes.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

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

QValidator::State TypedLengthLimit::validate(QString& input, int&) const {
  return input.size() <= maxLength_ ? Acceptable : Invalid;
}

}  // namespace morvane::ui
