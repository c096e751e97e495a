#include "model/Number.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "model/Text.h"

namespace morvane {
namespace {

// Parses [sign] digits [. digits] [e [sign] digits] with at least one digit in the mantissa.
std::optional<double> parseNumber(std::string_view raw) {
  const std::string text = foldText(trimBlanks(raw), TextFold::NumberToAscii);
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;
  const double value = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

bool isNumeric(std::string_view text) { return parseNumber(text).has_value(); }

std::optional<std::int32_t> toInt32(std::string_view text) {
  const auto value = parseNumber(text);
  if (!value) return std::nullopt;
  // Banker's rounding regardless of the current rounding mode.
  double whole = std::floor(*value);
  const double fraction = *value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  if (whole < -2147483648.0 || whole > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(whole);
}

}  // namespace morvane
