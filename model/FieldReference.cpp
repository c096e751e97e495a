#include "model/FieldReference.h"

#include "model/Text.h"

namespace morvane {
namespace {

// A part names one table or column: not blank, and none of the characters that split the forms.
bool isPart(std::string_view part) {
  return !isBlank(part) && part.find_first_of(".()") == std::string_view::npos;
}

}  // namespace

std::optional<FieldReference> parseReference(std::string_view text) {
  const std::string whole = trimBlanks(text);
  std::string_view view(whole);
  std::string_view table, column;
  if (view.ends_with(')')) {
    const auto open = view.find('(');
    if (open == std::string_view::npos) return std::nullopt;
    table = view.substr(0, open);
    column = view.substr(open + 1, view.size() - open - 2);
  } else {
    const auto dot = view.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    table = view.substr(0, dot);
    column = view.substr(dot + 1);
  }
  if (!isPart(table) || !isPart(column)) return std::nullopt;
  return FieldReference{trimBlanks(table), trimBlanks(column)};
}

}  // namespace morvane
