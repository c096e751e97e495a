// Reading a large .xls design document into the model: 300 table sheets of 99 fields.
// The workbook is written once with the tests' .xls writer and kept at the printed path, so
// bench/compare_peers.py can time the other readers on the very same file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "document/clsExcelDBDoc.h"
#include "bench/BenchWorkbooks.h"
#include "document/clsExcelDBDocInfo.h"
// The writer lives with the tests; the benchmark program has no library of test helpers.
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"

namespace {

constexpr int kSheets = 300;
constexpr int kFields = 99;

// Written once per run and kept, so bench/compare_peers.py can time the other readers on the
// very same file: morvane-bench-300x99.xls beside the .xlsx in $MORVANE_BENCH_DIR.
std::string benchWorkbook(int sheets) {
  static std::map<int, std::string> written;
  auto& path = written[sheets];
  if (!path.empty()) return path;
  path = morvane::bench::benchDirectory() + "/morvane-bench-" + std::to_string(sheets) + "x99.xls";
  std::vector<morvane::test::XlsSheet> book;
  for (int s = 0; s < sheets; ++s) {
    const std::string table = "テーブル" + std::to_string(s + 1);
    // Table name in J1, fields from row 1 to row 99 in columns D to I (every cell a text).
    auto& cells = book.emplace_back(morvane::test::XlsSheet{table, {{0, 9, table}}}).cells;
    for (int r = 0; r < kFields; ++r) {
      cells.emplace_back(r, 3, "フィールド" + std::to_string(s + 1) + "_" + std::to_string(r + 1));
      cells.emplace_back(r, 4, r % 3 ? "varchar" : "int");
      cells.emplace_back(r, 5, std::to_string(r + 10));
      if (r == 0) cells.emplace_back(r, 6, "○");
      cells.emplace_back(r, 7, "備考の文字列");
      if (r % 2) cells.emplace_back(r, 8, "○");
    }
  }
  morvane::test::writeBytes(path, morvane::test::compoundFile({{"Workbook", morvane::test::xlsStream(book)}}));
  std::fprintf(stderr, "benchmark workbook: %s\n", path.c_str());
  return path;
}

long peakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// 300 sheets, and 3,000 to show that time and memory grow with the sheets, no faster.
void BM_ReadXlsDesignDocument(benchmark::State& state) {
  const int sheets = static_cast<int>(state.range(0));
  const std::string path = benchWorkbook(sheets);
  morvane::clsExcelDBDocInfo layout;
  layout.sbSetPage(1, sheets);
  layout.sbSetTableNmPos(1, 10);
  layout.sbSetFieldPos(1);
  layout.sbSetFieldDefPos(4, 5, 6, 7, 9);
  // Forget the peak of writing the workbook: only reading counts.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = peakRssKb();
  std::size_t fields = 0;
  for (auto _ : state) {
    morvane::clsExcelDBDoc reader;
    reader.sbSetDocInfo(layout);
    if (!reader.fnReadDBDoc(path)) state.SkipWithError("cannot open the benchmark workbook");
    fields = 0;
    for (const auto& table : reader.getDBInfo().getTables()) fields += table->getFields().size();
    benchmark::DoNotOptimize(fields);
  }
  state.counters["fields"] = static_cast<double>(fields);
  state.counters["peak_rss_mb"] = static_cast<double>(peakRssKb()) / 1024.0;
  state.counters["rss_before_mb"] = static_cast<double>(before) / 1024.0;
}
BENCHMARK(BM_ReadXlsDesignDocument)->Arg(kSheets)->Arg(10 * kSheets)->Unit(benchmark::kMillisecond);

}  // namespace
