#include "sqlserver/DefaultValue.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "model/Text.h"

namespace morvane {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t digitsFrom(std::string_view text, std::size_t at) {
  while (at < text.size() && isDigit(text[at])) ++at;
  return at;
}

// [+-] digits [. digits] [e [+-] digits], or [+-] . digits [...]
bool isNumber(std::string_view text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  const std::size_t whole = digitsFrom(text, at);
  bool digits = whole > at;
  at = whole;
  if (at < text.size() && text[at] == '.') {
    const std::size_t fraction = digitsFrom(text, at + 1);
    digits = digits || fraction > at + 1;
    at = fraction;
  }
  if (!digits) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const std::size_t exponent = digitsFrom(text, at);
    if (exponent == at) return false;
    at = exponent;
  }
  return at == text.size();
}

// 'x' or N'x', a quote inside written twice.
bool isStringLiteral(std::string_view text) {
  if (!text.empty() && (text.front() == 'N' || text.front() == 'n')) text.remove_prefix(1);
  if (text.size() < 2 || text.front() != '\'' || text.back() != '\'') return false;
  const std::string_view inside = text.substr(1, text.size() - 2);
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] != '\'') continue;
    if (i + 1 >= inside.size() || inside[i + 1] != '\'') return false;
    ++i;
  }
  return true;
}

std::string upperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool isFunction(std::string_view text) {
  const std::string upper = upperAscii(text);
  if (upper == "CURRENT_TIMESTAMP") return true;
  constexpr std::array<std::string_view, 6> kCalls = {"GETDATE", "SYSDATETIME", "GETUTCDATE",
                                                      "SYSUTCDATETIME", "NEWID", "NEWSEQUENTIALID"};
  for (const std::string_view name : kCalls) {
    if (!upper.starts_with(name)) continue;
    const std::string rest = trimBlanks(std::string_view(upper).substr(name.size()));
    return rest.size() >= 2 && rest.front() == '(' && rest.back() == ')' &&
           isBlank(std::string_view(rest).substr(1, rest.size() - 2));
  }
  return false;
}

// True when the "(" at the front closes at the very end, quoted text aside: "(1)" but not "(1)+(2)".
bool isWrapped(std::string_view text) {
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
  int depth = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'') {
      quoted = !quoted;
    } else if (!quoted && c == '(') {
      ++depth;
    } else if (!quoted && c == ')' && --depth == 0) {
      return i + 1 == text.size();
    }
  }
  return false;
}

}  // namespace

DefaultValue classifyDefault(std::string_view text) {
  std::string inner = trimBlanks(text);
  if (inner.empty()) return {DefaultForm::None, {}};
  // SQL Server itself wraps a default twice, "((0))"; a cap keeps a stranger's deep nest cheap.
  constexpr int kMaxParentheses = 16;
  for (int level = 0; level < kMaxParentheses && isWrapped(inner); ++level) inner = trimBlanks(std::string_view(inner).substr(1, inner.size() - 2));
  DefaultForm form = DefaultForm::Invalid;
  if (isNumber(inner)) {
    form = DefaultForm::Number;
  } else if (isStringLiteral(inner)) {
    form = DefaultForm::String;
  } else if (upperAscii(inner) == "NULL") {
    form = DefaultForm::Null;
  } else if (isFunction(inner)) {
    form = DefaultForm::Function;
  }
  return {form, std::move(inner)};
}

std::string defaultKey(std::string_view text) {
  DefaultValue value = classifyDefault(text);
  switch (value.form) {
    case DefaultForm::Number: {
      double number = 0;
      std::string_view digits = value.text;
      if (digits.starts_with('+')) digits.remove_prefix(1);
      const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
      if (error != std::errc() || end != digits.data() + digits.size()) return value.text;
      char out[32];
      std::snprintf(out, sizeof out, "%.17g", number == 0 ? 0.0 : number);
      return out;
    }
    case DefaultForm::String:
      if (value.text.front() == 'n') value.text.front() = 'N';
      return value.text;
    case DefaultForm::Null:
    case DefaultForm::Function: {
      std::string out;
      for (const char c : upperAscii(value.text)) {
        if (c != ' ' && c != '\t') out += c;
      }
      return out;
    }
    case DefaultForm::None:
    case DefaultForm::Invalid:
      break;
  }
  return value.text;
}

}  // namespace morvane
