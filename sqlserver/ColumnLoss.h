#pragma once
// Whether a column can lose data when it is altered from one stored form to another: the one
// notion of "lossy" that the change scripts' guards and warnings share.
#include <vector>

#include "sqlserver/StoredColumn.h"

namespace morvane {

enum class ColumnLoss {
  shorter,      // a smaller character length
  fewerDigits,  // fewer digits before the decimal point (precision less scale)
  lessScale,    // fewer digits after it
  otherKind,    // another type that does not hold every value of the old one
  notNull,      // NULL to NOT NULL
};

// Every way the change can lose data, in the order above; empty for a widening or no change.
// Identity, seed and increment are not looked at.
std::vector<ColumnLoss> columnLoss(const StoredColumn& before, const StoredColumn& after);
// Whether the change can lose or refuse values (a NOT NULL mark aside).
bool losesValues(const StoredColumn& before, const StoredColumn& after);

}  // namespace morvane
