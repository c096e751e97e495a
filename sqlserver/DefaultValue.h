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

// The default in one spelling, so that the same default said two ways compares equal: SQL Server's
// stored "((0))" and the cell's "0.0", "(getdate())" and "GETDATE()", "(N'x')" and "n'x'". Parentheses
// around the whole go, function names and keywords take upper case, numbers are compared by value.
// Empty for a blank cell; any other text is kept as written.
std::string defaultKey(std::string_view text);

}  // namespace morvane
