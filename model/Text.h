#pragma once
// Small text helpers shared by every subsystem. Texts are UTF-8 inside the system.
#include <string>
#include <string_view>

namespace morvane {

// U+3000 in UTF-8: a blank for the reader, and the filler of empty documentation cells.
inline constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

// Removes leading and trailing ASCII spaces only.
std::string trimSpaces(std::string_view text);

// Removes leading and trailing ASCII spaces and ideographic spaces (U+3000).
std::string trimBlanks(std::string_view text);

// A text is blank when nothing is left after removing ASCII and ideographic spaces.
bool isBlank(std::string_view text);

}  // namespace morvane
