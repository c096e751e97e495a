#pragma once
#include <optional>
#include <string_view>

#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

enum class ColumnKind { Char, VarChar, Int, Identity, Date, Money, Real, Float, Decimal };

// The kind a field's notation stands for, as the script generator resolves it (the field side
// trimmed, both sides case-folded, Int before Identity and Money before Real); none when undefined.
std::optional<ColumnKind> resolveColumnKind(const clsSQLServerFieldAttr& types, std::string_view notation);

// Whether the script writes the field's size (a length, precision and scale, or seed and increment).
inline bool takesSize(ColumnKind kind) {
  return kind == ColumnKind::Char || kind == ColumnKind::VarChar || kind == ColumnKind::Float ||
         kind == ColumnKind::Decimal || kind == ColumnKind::Identity;
}

}  // namespace morvane
