// The documentation set for a large design document: 300 tables of 99 fields each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "htmldoc/clsHTMLDoc.h"

namespace {

using namespace morvane;

clsDBInfo largeModel() {
  clsDBInfo db;
  for (int t = 1; t <= 300; ++t) {
    auto table = std::make_shared<clsTableInfo>();
    char name[64];
    std::snprintf(name, sizeof name, "受注明細%03d", t);
    table->setName(name);
    for (int f = 1; f <= 99; ++f) {
      clsFieldInfo field;
      char fieldName[64];
      std::snprintf(fieldName, sizeof fieldName, "項目%02d", f);
      field.setName(fieldName);
      field.setAttr(f % 3 == 0 ? "varchar" : f % 3 == 1 ? "int" : "日付");
      field.setSize(f % 3 == 0 ? "50" : "");
      field.setNull(f % 2 == 0);
      if (f <= 2) table->sbAddPKey(fieldName);
      table->setField(field);
    }
    db.setTable(table);
  }
  return db;
}

void BM_HtmlSet300x99(benchmark::State& state) {
  const clsDBInfo db = largeModel();
  std::string pattern = (std::filesystem::temp_directory_path() / "morvane-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    state.SkipWithError("mkdtemp failed");
    return;
  }
  clsHTMLDoc writer;
  writer.setTitle("販売管理 設計書");
  for (auto _ : state) writer.fnWriteFile(db, pattern);
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(pattern)) bytes += entry.file_size();
  state.counters["files"] = 303;
  state.counters["set_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  std::filesystem::remove_all(pattern);
}
BENCHMARK(BM_HtmlSet300x99)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
