#pragma once
// Text for a terminal or a message box: a control character in a cell must neither recolour the
// screen nor split a line, so each is shown as an escape instead.
#include <string>
#include <string_view>

namespace morvane::platform {

// The text with line break, carriage return and tab as \n, \r, \t, other C0 controls and DEL
// as \xHH, C1 controls (U+0080 to U+009F) as \uHHHH and bytes that are not UTF-8 as \xHH;
// everything else unchanged.
std::string visibleText(std::string_view text);

}  // namespace morvane::platform
