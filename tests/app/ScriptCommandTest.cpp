// morvane-batch --sql on the example design document.
#include <gtest/gtest.h>

#include "Batch.h"
#include "platform/text/Cp932.h"

namespace morvane::test {
namespace {

using Names = std::vector<std::string>;

class ScriptCommand : public ::testing::Test {
 protected:
  std::string folder(const std::string& name = "out") {
    std::filesystem::create_directories(dir_.path() / name);
    return dir_.file(name);
  }
  TempDir dir_;
};

TEST_F(ScriptCommand, WritesEveryTableAndNamesUndefinedNotations) {
  const std::string out = folder();
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--sql", out, kExampleBook});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(filesIn(out), (Names{"受注.sql", "受注明細.sql", "商品.sql", "顧客.sql"}));
  const std::string expected =
      "BEGIN TRANSACTION \r\nCREATE TABLE dbo.顧客 \r\n\t(\r\n"
      "\t顧客ID int  NOT NULL  IDENTITY (1,1) ,\r\n"
      "\t顧客名 varchar(50)  NOT NULL ,\r\n"
      "\t顧客名カナ varchar(100)  NULL ,\r\n"
      "\t電話番号 char(13)  NULL \r\n"
      "\t) ON [PRIMARY] \r\n"
      "ALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n\tPK_顧客 PRIMARY KEY CLUSTERED \r\n\t( \r\n\t顧客ID\r\n"
      "\t) ON [PRIMARY] \r\nCOMMIT \r\n";
  EXPECT_EQ(readBytes(out + "/顧客.sql"), platform::toCp932(expected));
  for (const char* line : {"顧客」: 日付は未定義です\n", "顧客」: 通貨は未定義です\n", "受注」: 日付は未定義です\n",
                           "受注」: 通貨は未定義です\n"}) {
    EXPECT_NE(run.err.find(line), std::string::npos) << line << " missing in\n" << run.err;
  }
  EXPECT_EQ(run.err.find("受注明細:"), std::string::npos) << run.err;

  // The example's .sfa maps its Japanese type words: those columns come back, the rest is unchanged.
  const std::string ja = folder("ja");
  const BatchRun typed =
      batch({"--layout-values", kExampleLayout, "--types", kExamples + "types-ja.sfa", "--sql", ja, kExampleBook});
  EXPECT_EQ(typed.status, 0) << typed.err;
  EXPECT_EQ(typed.err, "");
  const std::string script = platform::fromCp932(readBytes(ja + "/受注.sql"));
  EXPECT_NE(script.find("\t受注日 datetime  NOT NULL ,\r\n\t合計金額 money  NULL ,\r\n"), std::string::npos) << script;
  EXPECT_EQ(readBytes(ja + "/商品.sql"), readBytes(out + "/商品.sql"));
}

TEST_F(ScriptCommand, WritesOnlyTheNamedTables) {
  const std::string out = folder();
  const BatchRun run =
      batch({"--layout-values", kExampleLayout, "--table", "商品", "--table", "受注明細", "--sql", out, kExampleBook});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(filesIn(out), (Names{"受注明細.sql", "商品.sql"}));
}

TEST_F(ScriptCommand, FailingTablesAreNamedAndTheRestWritten) {
  // Sizes read from the key column: identity and decimal sizes lose their comma.
  const std::string out = folder();
  const BatchRun run = batch({"--layout-values", "1,5,6,3,3,4,5,7,7,9", "--sql", out, kExampleBook});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(filesIn(out), (Names{"受注.sql"}));
  for (const char* table : {"顧客", "受注明細", "商品"}) {
    EXPECT_NE(run.err.find("テーブル「" + std::string(table) + "」のスクリプトを作成できません: "), std::string::npos) << run.err;
  }
}

TEST_F(ScriptCommand, MissingFoldersAreCreatedOrReportedInOneLine) {
  const std::string nested = dir_.file("new/scripts");
  const BatchRun made = batch({"--layout-values", kExampleLayout, "--table", "商品", "--sql", nested, kExampleBook});
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(filesIn(nested), (Names{"商品.sql"}));
  // A folder that cannot be made: its parent is a file.
  writeBytes(dir_.file("plain"), "x");
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--sql", dir_.file("plain/out"), kExampleBook});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("」を作成できません"), std::string::npos) << run.err;
  EXPECT_EQ(run.errLines(), 1) << run.err;
}

}  // namespace
}  // namespace morvane::test
