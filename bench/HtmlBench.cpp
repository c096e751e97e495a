// The documentation set for a large design document: 300 tables of 99 fields each, without and
// with 400 references among them.
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

// With references: each table after the first refers to one or two earlier tables, 400 in all,
// and carries a logical name, a default and a remark, so every page shows the optional cells
// and a diagram.
clsDBInfo largeModel(bool withReferences = false) {
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
      if (withReferences) {
        field.setLogicalName(std::string("論理名") + fieldName);
        field.setDefault(f % 3 == 1 ? "0" : "");
        field.setRemarks(f == 5 ? "備考" : "");
        const int target = f == 3 ? t - 1 : f == 4 && t >= 200 ? t - 199 : 0;  // 299 + 101
        if (t > 1 && target > 0) {
          char reference[64];
          std::snprintf(reference, sizeof reference, "受注明細%03d.項目01", target);
          field.setReference(reference);
        }
      }
      table->setField(field);
    }
    db.setTable(table);
  }
  return db;
}

void BM_HtmlSet300x99(benchmark::State& state) {
  const bool withReferences = state.range(0) != 0;
  const clsDBInfo db = largeModel(withReferences);
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
  state.counters["files"] = withReferences ? 304 : 303;
  state.counters["set_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  std::filesystem::remove_all(pattern);
}
BENCHMARK(BM_HtmlSet300x99)->ArgName("references")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
