#pragma once
#include <string>

#include "platform/xls/BiffGlobals.h"
#include "platform/xls/BiffRecords.h"
#include "platform/workbook/SheetCells.h"

namespace morvane::platform {

// Parses one worksheet substream (the reader stands at its BOF) into cell texts, into the
// empty sheet given (named, with its reach). Embedded substreams (charts on the sheet) are
// skipped. Throws WorkbookError on damage.
SheetCells readBiffSheet(BiffRecordReader& reader, BiffGlobals& globals, SheetCells sheet);

}  // namespace morvane::platform
