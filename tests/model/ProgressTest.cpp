#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "model/Progress.h"
#include "tests/support/RecordingProgress.h"

namespace morvane {
namespace {

using test::RecordingProgress;
using Calls = std::vector<std::string>;

std::vector<TablePtr> named(std::initializer_list<const char*> names) {
  std::vector<TablePtr> tables;
  for (const char* name : names) {
    auto table = std::make_shared<clsTableInfo>();
    table->setName(name);
    tables.push_back(table);
  }
  return tables;
}

TEST(ForEachTable, EachTableIsStartedOnceInOrderAndFailuresAreCounted) {
  RecordingProgress progress;
  std::vector<std::string> worked;
  const ProgressTally tally = forEachTable(named({"顧客", "受注", "商品"}), progress, [&](const clsTableInfo& t) {
    worked.push_back(t.getName());
    return t.getName() != "受注";
  });
  EXPECT_EQ(worked, (Calls{"顧客", "受注", "商品"}));
  EXPECT_EQ(progress.calls(), (Calls{"begin 3", "step 0 顧客", "step 1 受注", "step 2 商品", "end 2/1/0"}));
  EXPECT_EQ(tally.done, 2u);
  EXPECT_EQ(tally.failed, 1u);
  EXPECT_FALSE(tally.cancelled);
}

TEST(ForEachTable, CancelStopsBetweenTablesAndLeavesTheRestNotStarted) {
  RecordingProgress afterFirst(1);
  int worked = 0;
  const ProgressTally tally = forEachTable(named({"A", "B", "C"}), afterFirst, [&](const clsTableInfo&) {
    ++worked;
    return true;
  });
  EXPECT_EQ(worked, 1);
  EXPECT_EQ(afterFirst.calls(), (Calls{"begin 3", "step 0 A", "end 1/0/2 cancelled"}));
  EXPECT_EQ(tally.notStarted(), 2u);
  EXPECT_TRUE(tally.cancelled);

  // Cancelled before anything started, and an empty selection: the sink still hears begin and end.
  RecordingProgress atOnce(0);
  EXPECT_EQ(forEachTable(named({"A"}), atOnce, [](const clsTableInfo&) { return true; }).notStarted(), 1u);
  EXPECT_EQ(atOnce.calls(), (Calls{"begin 1", "end 0/0/1 cancelled"}));
  RecordingProgress none;
  EXPECT_FALSE(forEachTable({}, none, [](const clsTableInfo&) { return true; }).cancelled);
  EXPECT_EQ(none.calls(), (Calls{"begin 0", "end 0/0/0"}));
}

TEST(ForEachTable, AnExceptionEndsTheSinkAndIsPassedOn) {
  RecordingProgress progress;
  EXPECT_THROW(forEachTable(named({"A", "B", "C"}), progress,
                            [](const clsTableInfo& t) -> bool {
                              if (t.getName() == "B") throw std::runtime_error("disk full");
                              return true;
                            }),
               std::runtime_error);
  EXPECT_EQ(progress.calls(), (Calls{"begin 3", "step 0 A", "step 1 B", "end 1/1/1"}));
}

}  // namespace
}  // namespace morvane
