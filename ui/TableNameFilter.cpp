#include "ui/TableNameFilter.h"

namespace morvane::ui {

TableNameFilter::TableNameFilter(const QString& text) : folded_(fold(text)) {}

bool TableNameFilter::fnMatches(const QString& name) const { return fold(name).contains(folded_); }

QString TableNameFilter::fold(const QString& text) {
  // NFKC turns half-width katakana and full-width letters into their usual forms; folding the
  // case afterwards also catches letters that NFKC leaves in upper case.
  return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

}  // namespace morvane::ui
