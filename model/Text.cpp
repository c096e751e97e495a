#include "model/Text.h"

namespace morvane {
namespace {

std::string_view trimView(std::string_view text, bool ideographic) {
  for (;;) {
    if (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    } else if (ideographic && text.starts_with(kIdeographicSpace)) {
      text.remove_prefix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  for (;;) {
    if (!text.empty() && text.back() == ' ') {
      text.remove_suffix(1);
    } else if (ideographic && text.ends_with(kIdeographicSpace)) {
      text.remove_suffix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  return text;
}

}  // namespace

std::string trimSpaces(std::string_view text) { return std::string(trimView(text, false)); }

std::string trimBlanks(std::string_view text) { return std::string(trimView(text, true)); }

bool isBlank(std::string_view text) { return trimView(text, true).empty(); }

}  // namespace morvane
