// CREATE TABLE scripts for a large model: 300 tables of 99 fields, built in memory.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/clsDBInfo.h"
#include "sqlserver/ChangeScript.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane {
namespace {

// Every kind of column, mixed case and padded notations, Japanese names (code page 932 work).
const clsDBInfo& largeModel() {
  static const clsDBInfo model = [] {
    struct Kind {
      const char* notation;
      const char* size;
    };
    const Kind kinds[] = {{"char", "10"},   {"VARCHAR", "200"}, {" int ", ""},  {"identity", "1,1"},
                          {"date", ""},     {"money", ""},      {"Real", ""},   {"float", "53"},
                          {"decimal", "18,4"}};
    clsDBInfo db;
    for (int t = 1; t <= 300; ++t) {
      auto table = std::make_shared<clsTableInfo>();
      table->setName("受注明細テーブル" + std::to_string(t));
      for (int f = 1; f <= 99; ++f) {
        const Kind& kind = kinds[(f - 1) % 9];
        clsFieldInfo field;
        field.setName("項目名ﾌｨｰﾙﾄﾞ" + std::to_string(f));
        field.setAttr(kind.notation);
        field.setSize(kind.size);
        field.setNull(f % 3 == 0);
        table->setField(field);
        if (f <= 2) table->sbAddPKey("項目名ﾌｨｰﾙﾄﾞ" + std::to_string(f));
      }
      db.setTable(table);
    }
    return db;
  }();
  return model;
}

void BM_MakeScripts300x99(benchmark::State& state) {
  const clsDBInfo& model = largeModel();
  clsSQLServerDB generator;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (const auto& table : model.getTables()) {
      auto script = generator.makeCreateSQL(*table);
      if (!script) state.SkipWithError("a script could not be built");
      bytes += script->size();
      benchmark::DoNotOptimize(script);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_MakeScripts300x99)->Unit(benchmark::kMillisecond);

void BM_WriteScripts300x99(benchmark::State& state) {
  const clsDBInfo& model = largeModel();
  std::string pattern = (std::filesystem::temp_directory_path() / "morvane-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string folder = pattern;
  clsSQLServerDB generator;
  for (auto _ : state) {
    for (const auto& table : model.getTables()) {
      if (!generator.fnSaveCreateSQL(*table, folder)) state.SkipWithError(generator.getFailReason().c_str());
    }
  }
  state.counters["files"] = static_cast<double>(model.getTables().size());
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WriteScripts300x99)->Unit(benchmark::kMillisecond);

// --against-server --allow-drop --sql against a database of 40,000 tables the document does not
// hold: the live model, the drift and the change list (every table gone) must stay linear.
void BM_ChangesFrom40000ServerTables(benchmark::State& state) {
  ServerColumn id;
  id.name = "ID";
  id.ordinal = 1;
  id.dataType = "int";
  std::vector<ServerTable> server;
  for (int t = 1; t <= 40000; ++t) server.push_back({"Table" + std::to_string(t), {id}, {"ID"}, "PK_" + std::to_string(t)});
  const clsDBInfo& document = largeModel();
  const auto types = std::make_shared<const clsSQLServerFieldAttr>();
  ChangeOptions options;
  options.allowDrop = options.oldIsLive = true;
  for (auto _ : state) {
    const clsDBInfo live = serverModel(server, document, *types);
    benchmark::DoNotOptimize(compareWithServer(document, server, *types));
    benchmark::DoNotOptimize(compareRevisions(live, document, types, options));
  }
}
BENCHMARK(BM_ChangesFrom40000ServerTables)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morvane
