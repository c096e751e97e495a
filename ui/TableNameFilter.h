#pragma once
#include <QString>

namespace morvane::ui {

// The table list's filter: a name matches when it contains the filter text, without regard to
// case or to full and half width (ｶﾅ finds カナ, ＡＢＣ finds abc). An empty filter matches all.
class TableNameFilter {
 public:
  explicit TableNameFilter(const QString& text);
  bool fnMatches(const QString& name) const;

  // Compatibility decomposition, then case folding: the form both sides are compared in.
  static QString fold(const QString& text);

 private:
  QString folded_;
};

}  // namespace morvane::ui
