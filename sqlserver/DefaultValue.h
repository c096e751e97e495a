#pragma once
// A field's default cell read as the default SQL Server takes: a number, a string literal ('x',
// N'x', quotes doubled inside), NULL, or one of the date and id functions, any letter case, each
// optionally in parentheses.
#include <string>
#include <string_view>

namespace morvane {

enum class DefaultForm { None, Number, String, Null, Function, Invalid };

struct DefaultValue {
  DefaultForm form = DefaultForm::None;  // None: the cell is blank
  std::string text;                      // without the blanks and parentheses around it
};

DefaultValue classifyDefault(std::string_view text);

}  // namespace morvane
