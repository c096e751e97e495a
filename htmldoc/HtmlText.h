#pragma once
// Making model texts safe to insert into a page of the documentation set.
#include <string>
#include <string_view>

namespace morvane::htmldoc {

// Escapes &, <, > and " so that a text stays text, in element content and in quoted attributes.
std::string escapeHtml(std::string_view text);

// Percent-encodes what would otherwise end or bend a relative link to the file: %, # and ?,
// and blanks and control characters, which URL parsers strip or drop. Everything else,
// including non-ASCII characters, stays as it is (the browser encodes those itself).
std::string encodeLinkPath(std::string_view fileName);

}  // namespace morvane::htmldoc
