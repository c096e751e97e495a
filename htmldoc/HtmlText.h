#pragma once
// Making model texts safe to insert into a page of the documentation set.
#include <string>
#include <string_view>

namespace morvane::htmldoc {

// Escapes &, <, > and " so that a text stays text, in element content and in quoted attributes.
std::string escapeHtml(std::string_view text);

// Percent-encodes what would otherwise end or bend a relative link to the file: %, # and ?;
// ':' (before it, "javascript" or "c" would read as a URL scheme) and '|' (in "c|", a drive
// letter to a file URL); blanks and control characters, which URL parsers strip or drop.
// Everything else, including non-ASCII characters, stays as it is (the browser encodes those
// itself). The name must already be a safe file stem: '/' and '\' would still be separators.
std::string encodeLinkPath(std::string_view fileName);

// encodeLinkPath for a link that Graphviz writes into an SVG: also &, <, >, ", ' and '\\',
// because Graphviz neither escapes every one of them in a link nor leaves a backslash alone.
std::string encodeDiagramLink(std::string_view fileName);

}  // namespace morvane::htmldoc
