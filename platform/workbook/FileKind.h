#pragma once
// What a file that is neither a compound file nor a zip package most likely is, told from its
// first bytes, for the reason given when it does not open.
#include <string>
#include <string_view>

namespace morvane::platform {

// The first bytes of a file that is not a workbook this program reads; the answer is one
// Japanese line naming what the file is when that is easy to tell (an old BIFF worksheet or
// Excel 4.0 workbook, HTML, XML, text, PDF).
std::string describeOtherFile(std::string_view head);

// The reason for a BIFF stream older than BIFF5, naming its format, from its BOF record type
// and the version and substream words inside it; empty when it is none of them.
std::string oldBiffFormatReason(unsigned bofType, unsigned version, unsigned substream);

}  // namespace morvane::platform
