#pragma once
// The pieces every page of the documentation set is made of.
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/OutputEncoding.h"

namespace morvane::htmldoc {

// Appends one piece with the blanks that stand before and after it; the pages are one long
// line, so these blanks are the only layout they have.
void put(std::string& out, int lead, std::string_view text, int trail);

// The opening every titled page shares: html, head with the title, the code page and what
// extraHead holds, end of head.
std::string titledHead(std::string_view escapedTitle, platform::Charset charset, std::string_view extraHead = {});

// One field row of a table page from its cells, already escaped; a row with an id is the target
// of the links to its field.
std::string fieldRow(const std::vector<std::string>& cells, std::string_view escapedId);

// One page and one line break, swapped in whole so that a failure never leaves half a page behind.
void writePage(const std::string& path, std::string_view text, const platform::OutputEncoding& encoding);

}  // namespace morvane::htmldoc
