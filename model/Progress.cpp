#include "model/Progress.h"

namespace morvane {

ProgressTally forEachTable(const std::vector<TablePtr>& tables, ProgressSink& sink,
                           const std::function<bool(const clsTableInfo&)>& work) {
  ProgressTally tally;
  tally.total = tables.size();
  sink.begin(tally.total);
  for (std::size_t index = 0; index < tables.size(); ++index) {
    if (sink.cancelled()) {
      tally.cancelled = true;
      break;
    }
    const clsTableInfo& table = *tables[index];
    sink.step(index, table.getName());
    bool ok = false;
    try {
      ok = work(table);
    } catch (...) {
      ++tally.failed;
      sink.end(tally);
      throw;
    }
    ++(ok ? tally.done : tally.failed);
  }
  sink.end(tally);
  return tally;
}

}  // namespace morvane
