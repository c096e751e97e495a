#pragma once
#include <QObject>
#include <QValidator>

class QLineEdit;

namespace morvane::ui {

// Selection start 0, length of the text: typing then replaces what the box held.
void sbSelectAllText(QLineEdit* box);

// Selects a box's whole text whenever it gets the focus, also by a mouse click, whose press
// would otherwise put the caret where the click landed.
class SelectAllOnFocus final : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  void watch(QLineEdit* box);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// A file dropped from a file manager comes as a file:// URL: the box takes its local path. Anything
// else dropped (several files, a remote URL) is refused; plain text drops as usual.
class LocalFileDrop final : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  void watch(QLineEdit* box);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Limits what is typed or pasted to a number of characters. Unlike QLineEdit::maxLength it
// leaves a longer text set by the program intact (a layout file may hold 100).
class TypedLengthLimit final : public QValidator {
  Q_OBJECT
 public:
  TypedLengthLimit(int maxLength, QObject* parent) : QValidator(parent), maxLength_(maxLength) {}
  State validate(QString& input, int& pos) const override;

 private:
  int maxLength_;
};

}  // namespace morvane::ui
