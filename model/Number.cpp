#include "model/Number.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/Text.h"

namespace morvane {
namespace {

// A number as its text gave it: the digits of the mantissa without the point, and where the
// point stands once the exponent is applied.
struct DecimalText {
  bool negative = false;
  std::string digits;        // integer and fraction digits, leading zeros dropped
  std::int64_t pointAt = 0;  // digits before the point; may be negative or beyond digits
  std::string folded;        // the ASCII text, for the double conversion of isNumeric
};

// Parses [sign] digits [. digits] [e [sign] digits] with at least one digit in the mantissa.
std::optional<DecimalText> parseDecimal(std::string_view raw) {
  DecimalText number;
  number.folded = foldText(trimBlanks(raw), TextFold::NumberToAscii);
  const std::string& text = number.folded;
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto isDigit = [&](std::size_t at) { return at < n && text[at] >= '0' && text[at] <= '9'; };
  if (i < n && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
  std::size_t mantissaDigits = 0;
  std::int64_t integerDigits = 0;
  auto takeDigit = [&](char c) {
    ++mantissaDigits;
    // Leading zeros move nothing: they only shift where the point is counted from.
    if (c == '0' && number.digits.empty()) return false;
    number.digits += c;
    return true;
  };
  for (; isDigit(i); ++i) {
    if (takeDigit(text[i])) ++integerDigits;
  }
  std::int64_t leadingFractionZeros = 0;
  if (i < n && text[i] == '.') {
    for (++i; isDigit(i); ++i) {
      if (!takeDigit(text[i])) ++leadingFractionZeros;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  number.pointAt = integerDigits > 0 ? integerDigits : -leadingFractionZeros;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    if (!isDigit(i)) return std::nullopt;
    // Far beyond any 32-bit value either way; capped so that the sum cannot overflow.
    constexpr std::int64_t kCap = 1'000'000'000;
    std::int64_t exponent = 0;
    for (; isDigit(i); ++i) exponent = std::min<std::int64_t>(kCap, exponent * 10 + (text[i] - '0'));
    number.pointAt += negativeExponent ? -exponent : exponent;
  }
  if (i != n) return std::nullopt;
  return number;
}

}  // namespace

bool isNumeric(std::string_view text) {
  const auto number = parseDecimal(text);
  // A value beyond what a double holds is not a number to the input check, as it always was.
  return number && std::isfinite(std::strtod(number->folded.c_str(), nullptr));
}

std::optional<std::int32_t> toInt32(std::string_view text) {
  const auto number = parseDecimal(text);
  if (!number) return std::nullopt;
  const std::string& digits = number->digits;
  if (digits.empty()) return 0;  // zero, however it was written
  // More than ten integer digits is out of range whatever they are.
  if (number->pointAt > 10) return std::nullopt;
  const std::size_t whole = number->pointAt > 0 ? static_cast<std::size_t>(number->pointAt) : 0;
  std::int64_t magnitude = 0;
  for (std::size_t k = 0; k < whole; ++k) magnitude = magnitude * 10 + (k < digits.size() ? digits[k] - '0' : 0);
  // The first dropped digit decides, the ones after it only break a tie; a fraction starting
  // below the point's position (0.0x) is under a half.
  if (number->pointAt >= 0 && whole < digits.size()) {
    const char first = digits[whole];
    const bool moreAfter = digits.find_first_not_of('0', whole + 1) != std::string::npos;
    if (first > '5' || (first == '5' && (moreAfter || magnitude % 2 != 0))) ++magnitude;
  }
  const std::int64_t value = number->negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace morvane
