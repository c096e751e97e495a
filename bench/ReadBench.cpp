// Reading a 300-sheet .xlsx design document into the model.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench/BenchWorkbooks.h"
#include "document/clsExcel.h"
#include "document/clsExcelDBDoc.h"

namespace morvane::bench {
namespace {

// bench-300.xlsx (and bench-3000.xlsx) in the bench folder, written when missing.
std::string benchXlsx(int sheets = kBenchSheets) {
  const std::string file = benchDirectory() + "/bench-" + std::to_string(sheets) + ".xlsx";
  if (!std::filesystem::exists(file)) writeInChild(writeBenchXlsx, file, sheets);
  return file;
}

// 300 sheets, and 3,000 to show that time and memory grow with the sheets, no faster.
void BM_ReadXlsxIntoModel(benchmark::State& state) {
  const int sheets = static_cast<int>(state.range(0));
  const std::string path = benchXlsx(sheets);
  std::size_t tables = 0;
  for (auto _ : state) {
    clsExcelDBDoc reader;
    reader.sbSetDocInfo(benchLayout(sheets));
    if (!reader.fnReadDBDoc(path)) state.SkipWithError("cannot open the workbook");
    tables = reader.getDBInfo().getTables().size();
    benchmark::DoNotOptimize(tables);
  }
  state.counters["tables"] = static_cast<double>(tables);
  state.counters["peak_rss_MiB"] = peakResidentMiB();
}
BENCHMARK(BM_ReadXlsxIntoModel)->Arg(kBenchSheets)->Arg(10 * kBenchSheets)->Unit(benchmark::kMillisecond);

// Walks every sheet without keeping anything: what memory holds after the 30th sheet and after
// the 300th should be the same, one sheet at a time whatever the workbook's size.
void BM_XlsxMemoryPerSheet(benchmark::State& state) {
  const std::string path = benchXlsx();
  long early = 0, late = 0;
  for (auto _ : state) {
    clsExcel excel;
    if (!excel.fnOpenBook(path)) state.SkipWithError("cannot open the workbook");
    for (int n = 1; n <= kBenchSheets; ++n) {
      excel.fnOpenSheet(n);
      benchmark::DoNotOptimize(excel.Cells(3, 3));
      excel.CloseSheet();
      if (n == 30) early = residentKiB();
    }
    late = residentKiB();
    excel.CloseBook();
  }
  state.counters["rss_after_30_KiB"] = static_cast<double>(early);
  state.counters["growth_30_to_300_KiB"] = static_cast<double>(late - early);
}
BENCHMARK(BM_XlsxMemoryPerSheet)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morvane::bench
