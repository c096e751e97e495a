#pragma once
// Finds, cell by cell, what in a design document would make its scripts fail on SQL Server or
// come out other than the designer meant, before any script is written.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/clsExcelDBDocInfo.h"
#include "model/clsDBInfo.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

enum class Severity { Error, Warning };

struct Finding {
  std::string sheet;  // the sheet's tab caption
  std::string cell;   // A1 form: "E7"
  Severity severity = Severity::Error;
  std::string rule;   // "undefined-type", "size-invalid", ...
  std::string table;
  std::optional<std::string> field;  // none for a finding about the table itself
  std::string message;               // Japanese: what is wrong and what would be right
  std::size_t tableIndex = 0;        // position of the table in the checked set
};

// The findings for the tables, in sheet order, then row and column order within a sheet. The
// layout gives the columns of the cells named; the notations are the ones the scripts resolve with.
std::vector<Finding> checkDesign(const clsDBInfo& tables, const clsSQLServerFieldAttr& notations,
                                 const clsExcelDBDocInfo& layout);
// The same, with references looked up among every table the workbook read, not only those checked.
std::vector<Finding> checkDesign(const clsDBInfo& tables, const clsSQLServerFieldAttr& notations,
                                 const clsExcelDBDocInfo& layout, const clsDBInfo& workbook);

struct FindingCounts {
  std::size_t errors = 0;
  std::size_t warnings = 0;
};
FindingCounts countFindings(const std::vector<Finding>& findings);

// "エラー" or "警告"; "error" or "warning" for machine-read output.
std::string_view severityLabel(Severity severity);
std::string_view severityId(Severity severity);

// 1 -> "A", 27 -> "AA".
std::string columnLetters(std::int32_t column);

// A word SQL Server reserves (compared without regard to case).
bool isReservedWord(std::string_view name);

}  // namespace morvane
