#pragma once
// The design document a live database reads back as: every cell, sheet name and list of the
// workbook, placed by the layout in effect. The writer only lays the plan out.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/clsExcelDBDocInfo.h"
#include "platform/xlsxwriter/DesignBookWriter.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

using PlanStyle = platform::BookStyle;
using PlanCell = platform::BookCell;
using PlanList = platform::BookList;
using PlanSheet = platform::BookSheet;

struct ServerSource {
  std::string server, database, date;  // for the cover sheet
};

struct DesignBookPlan {
  std::vector<PlanSheet> sheets;
  std::vector<std::string> warnings;
  // The end sheet that reads every table; above the layout's when its range is too short.
  std::int32_t endSheet = 0;
};

// Why the layout cannot place a workbook (a position below 1 or beyond what is read, two
// cells on one place); empty when it can.
std::string designLayoutProblem(const clsExcelDBDocInfo& layout);

// The tables in name order, one sheet each from the layout's start sheet; the cover sheet and
// the table list on the sheets before it. The layout must have no designLayoutProblem.
DesignBookPlan planDesignBook(const std::vector<ServerTable>& server, const clsExcelDBDocInfo& layout,
                              const clsSQLServerFieldAttr& types, const ServerSource& source);

// A sheet name the spreadsheet takes: without []:*?/\, at most 31 characters, no quote at
// either end, never empty; unique among taken (compared without regard to ASCII case), which it
// joins.
std::string validSheetName(const std::string& wanted, std::vector<std::string>& taken);

// Plans the workbook and writes it to path (complete first, then renamed; read-only refused).
// Throws platform::FileError. The plan's warnings say what the workbook cannot say.
DesignBookPlan writeDesignBook(const std::string& path, const std::vector<ServerTable>& server,
                               const clsExcelDBDocInfo& layout, const clsSQLServerFieldAttr& types,
                               const ServerSource& source);

// Today's date as the cover sheet writes it: "2026-12-08".
std::string todayText();

// "((0))" as "0", "('a')" as "'a'": a default as the document writes it.
std::string defaultAsWritten(const std::string& definition);

}  // namespace morvane
