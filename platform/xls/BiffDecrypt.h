#pragma once
// Workbooks encrypted with the password the spreadsheet uses when none is given
// ("VelvetSweatshop"), which it opens without asking: RC4 and RC4 CryptoAPI encryption of the
// workbook stream.
#include <cstdint>
#include <span>

#include "platform/xls/StreamBytes.h"

namespace morvane::platform {

// The workbook stream decrypted into out, its FILEPASS record (body filePass) made a record
// the reader passes over. False when the stream needs another password or is encrypted in a
// way this does not read.
bool decryptWithDefaultPassword(std::span<const std::uint8_t> stream, std::span<const std::uint8_t> filePass,
                                StreamBytes& out);

}  // namespace morvane::platform
