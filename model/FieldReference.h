#pragma once
// A field's reference cell read as the column it refers to: "Table.Column" or "Table(Column)",
// blanks around either part ignored. One column to one column of a table of the same workbook.
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

struct FieldReference {
  std::string table;   // trimmed of blanks
  std::string column;  // trimmed of blanks
};

// Nothing when the text is neither form: a blank part, a second "." or parenthesis, text after ")".
std::optional<FieldReference> parseReference(std::string_view text);

}  // namespace morvane
