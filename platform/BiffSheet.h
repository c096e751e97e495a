#pragma once
#include <string>

#include "platform/BiffGlobals.h"
#include "platform/BiffRecords.h"
#include "platform/SheetCells.h"

namespace morvane::platform {

// Parses one worksheet substream (the reader stands at its BOF) into cell texts. Embedded
// substreams (charts on the sheet) are skipped. Throws WorkbookError on damage.
SheetCells readBiffSheet(BiffRecordReader& reader, BiffGlobals& globals, std::string name);

}  // namespace morvane::platform
