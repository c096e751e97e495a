#include "sqlserver/StoredColumn.h"

#include <charconv>
#include <cstdint>

#include "model/Text.h"
#include "sqlserver/ColumnKind.h"

namespace morvane {
namespace {

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// A size part as the server would read it: digits, spaces around allowed.
std::optional<long long> number(std::string_view text, long long low, long long high) {
  const std::string trimmed = trimSpaces(text);
  long long value = 0;
  const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (trimmed.empty() || error != std::errc() || end != trimmed.data() + trimmed.size()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<std::pair<std::string, std::string>> splitAtComma(const std::string& size) {
  const auto comma = size.find(',');
  if (comma == std::string::npos) return std::nullopt;
  return std::pair(size.substr(0, comma), size.substr(comma + 1));
}

std::string sized(const std::string& type, const std::optional<long long>& length) {
  if (!length) return type;
  return type + "(" + (*length == -1 ? std::string("max") : std::to_string(*length)) + ")";
}

}  // namespace

std::optional<StoredColumn> storedColumn(const clsFieldInfo& field, const clsSQLServerFieldAttr& types) {
  const auto kind = resolveColumnKind(types, field.getAttr());
  if (!kind) return std::nullopt;
  StoredColumn stored;
  stored.nullable = field.getNull();
  const std::string& size = field.getSize();
  switch (*kind) {
    case ColumnKind::Char:
    case ColumnKind::VarChar: {
      stored.type = *kind == ColumnKind::Char ? "char" : "varchar";
      if (*kind == ColumnKind::VarChar && lower(trimSpaces(size)) == "max") {
        stored.length = -1;
      } else {
        stored.length = number(size, 1, 8000);
        if (!stored.length) return std::nullopt;
      }
      break;
    }
    case ColumnKind::Int:
      stored.type = "int";
      break;
    case ColumnKind::Identity: {
      const auto parts = splitAtComma(size);
      if (!parts) return std::nullopt;
      stored.type = "int";
      stored.identity = true;
      stored.seed = number(parts->first, INT32_MIN, INT32_MAX);
      stored.increment = number(parts->second, INT32_MIN, INT32_MAX);
      if (!stored.seed || !stored.increment) return std::nullopt;
      break;
    }
    case ColumnKind::Date:
      stored.type = "datetime";
      break;
    case ColumnKind::Money:
      stored.type = "money";
      break;
    case ColumnKind::Real:
      stored.type = "real";
      break;
    case ColumnKind::Float: {
      // float(1) to float(24) is stored as real, float(25) to float(53) as float.
      const auto bits = number(size, 1, 53);
      if (!bits) return std::nullopt;
      stored.type = *bits <= 24 ? "real" : "float";
      break;
    }
    case ColumnKind::Decimal: {
      const auto parts = splitAtComma(size);
      if (!parts) return std::nullopt;
      stored.type = "decimal";
      stored.precision = number(parts->first, 1, 38);
      stored.scale = number(parts->second, 0, 38);
      if (!stored.precision || !stored.scale || *stored.scale > *stored.precision) return std::nullopt;
      break;
    }
  }
  return stored;
}

StoredColumn storedColumn(const ServerColumn& column) {
  StoredColumn stored;
  stored.type = lower(column.dataType);
  if (stored.type == "numeric") stored.type = "decimal";
  stored.nullable = column.nullable;
  stored.identity = column.identity;
  if (column.identity) {
    stored.seed = column.seed;
    stored.increment = column.increment;
  }
  if (stored.type == "decimal") {
    stored.precision = column.precision;
    stored.scale = column.scale;
  } else if (stored.type != "real" && stored.type != "float") {
    // Character and binary types carry a length; the fixed numeric ones report none.
    stored.length = column.length;
  }
  return stored;
}

StoredColumn serverStoredColumn(const clsFieldInfo& field) {
  StoredColumn stored;
  stored.type = lower(trimSpaces(field.getAttr()));
  stored.nullable = field.getNull();
  if (lower(trimSpaces(field.getSize())) == "max") {
    stored.length = -1;
  } else if (!trimSpaces(field.getSize()).empty()) {
    stored.length = number(field.getSize(), 1, 1LL << 31);
  }
  return stored;
}

std::string describeColumn(const StoredColumn& column) {
  std::string text = sized(column.type, column.length);
  if (column.precision) {
    text += "(" + std::to_string(*column.precision) + "," + std::to_string(column.scale.value_or(0)) + ")";
  }
  if (column.identity) {
    text += " IDENTITY(" + (column.seed ? std::to_string(*column.seed) : std::string("?")) + "," +
            (column.increment ? std::to_string(*column.increment) : std::string("?")) + ")";
  }
  return text + (column.nullable ? " NULL" : " NOT NULL");
}

clsFieldInfo fieldFromServer(const ServerColumn& column, const clsSQLServerFieldAttr& types) {
  const StoredColumn stored = storedColumn(column);
  clsFieldInfo field;
  field.setName(column.name);
  field.setNull(column.nullable);
  auto set = [&](const std::string& notation, const std::string& size = {}) {
    field.setAttr(notation);
    field.setSize(size);
  };
  const std::string length =
      stored.length ? (*stored.length == -1 ? std::string("max") : std::to_string(*stored.length)) : std::string();
  if (stored.type == "int" && stored.identity) {
    set(types.getIdentity(), std::to_string(stored.seed.value_or(1)) + "," + std::to_string(stored.increment.value_or(1)));
  } else if (stored.type == "char") {
    set(types.getChar(), length);
  } else if (stored.type == "varchar") {
    set(types.getVarChar(), length);
  } else if (stored.type == "int") {
    set(types.getInt());
  } else if (stored.type == "datetime") {
    set(types.getDate());
  } else if (stored.type == "money") {
    set(types.getMoney());
  } else if (stored.type == "real") {
    set(types.getReal());
  } else if (stored.type == "float") {
    set(types.getFloat(), "53");
  } else if (stored.type == "decimal") {
    set(types.getDecimal(), std::to_string(stored.precision.value_or(18)) + "," + std::to_string(stored.scale.value_or(0)));
  } else {
    set(column.dataType, length);
  }
  return field;
}



}  // namespace morvane
