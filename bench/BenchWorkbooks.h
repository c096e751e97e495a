#pragma once
// The large design document the read benchmarks time: 300 table sheets of 99 fields each. The
// cell contents are given here once, so every format's writer puts down the same document.
#include <string>
#include <vector>

#include "document/clsExcelDBDocInfo.h"

namespace morvane::bench {

inline constexpr int kBenchSheets = 300;
inline constexpr int kBenchFields = 99;  // rows 6..104; the reader stops at row 99

struct BenchCell {
  int row;  // 1-based
  int col;  // 1-based
  std::string text;
  bool number = false;  // written as a number cell (text holds its decimal form)
};

// The cells of table sheet n (1-based), in row order.
std::vector<BenchCell> benchSheetCells(int n);
std::string benchSheetName(int n);

// Default positions, sheets 1..sheets.
clsExcelDBDocInfo benchLayout(int sheets = kBenchSheets);

// Writes the document as .xlsx with libxlsxwriter (texts in the shared string table).
void writeBenchXlsx(const std::string& path, int sheets = kBenchSheets);

// A folder for the benchmark workbooks: $MORVANE_BENCH_DIR when set (the files are kept there,
// for the comparison scripts), else a temporary folder removed at exit.
std::string benchDirectory();

// Runs `write` in a child process, so the writer's memory never shows in this process's peak.
void writeInChild(void (*write)(const std::string&, int), const std::string& path, int sheets);

// Peak resident memory of this process so far, in MiB.
double peakResidentMiB();
// Resident memory now, in KiB.
long residentKiB();

}  // namespace morvane::bench
