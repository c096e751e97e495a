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

// What foldText does with ASCII and with the full-width forms of ASCII (U+FF01..U+FF5E,
// typed with the input method on).
enum class TextFold {
  // Full-width digits, signs, point and E become ASCII; nothing else changes.
  NumberToAscii,
  // ASCII capitals become small letters, full-width capitals full-width small letters.
  LatinToLower,
};

// The text with that fold applied; every other byte is kept as it is.
std::string foldText(std::string_view text, TextFold fold);

}  // namespace morvane
