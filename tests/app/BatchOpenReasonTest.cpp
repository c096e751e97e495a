// morvane-batch on an .xls the libraries underneath warn about: nothing of theirs reaches the terminal.
#include <gtest/gtest.h>

#include "Batch.h"
#include "tests/support/UnreadableXls.h"

namespace morvane::test {
namespace {

TEST(BatchOpenReason, LibgsfWarningsNeverReachTheTerminal) {
  TempDir dir;
  // libgsf warns "Unable to get child[0] ... insufficient blocks" through GLib for this file.
  writeBytes(dir.file("cutoff.xls"), xlsWithAbsurdStreamCutoff());
  const BatchRun run = batch({"--list", dir.file("cutoff.xls")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.find("WARNING"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("**"), std::string::npos) << run.err;
  EXPECT_EQ(run.errLines(), 1) << run.err;
  EXPECT_NE(run.err.find("複合ファイルの構造が壊れています"), std::string::npos) << run.err;
  // The sound original reads.
  writeBytes(dir.file("sound.xls"), soundXlsBytes());
  const BatchRun sound = batch({"--list", dir.file("sound.xls")});
  EXPECT_EQ(sound.status, 0) << sound.err;
  EXPECT_EQ(sound.out, "顧客\n");
  EXPECT_EQ(sound.err, "");
}

}  // namespace
}  // namespace morvane::test
