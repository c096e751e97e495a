// morvane-batch --sql on the example design document.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/Cp932.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

constexpr const char* kExampleLayout = "1,5,6,3,3,4,5,6,7,9";

struct BatchRun {
  int status = -1;
  std::string err;
};

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class ScriptCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"design-document.xlsx", "design-document.xls"}) {
      const std::string path = std::string(MORVANE_SOURCE_DIR) + "/examples/" + name;
      if (std::filesystem::exists(path) && batch({"--layout-values", kExampleLayout, "--list", path}).status == 0) {
        workbook_ = path;
        return;
      }
    }
    GTEST_SKIP() << "no readable example workbook in examples/; --sql checks skipped";
  }

  BatchRun batch(const std::vector<std::string>& args) {
    std::string command = quoted(MORVANE_BATCH);
    for (const auto& arg : args) command += " " + quoted(arg);
    const std::string errFile = dir_.file("stderr.txt");
    command += " >/dev/null 2>" + quoted(errFile);
    const int status = std::system(command.c_str());
    BatchRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = test::readBytes(errFile);
    std::filesystem::remove(errFile);
    return run;
  }

  std::string out() {
    const std::string path = dir_.file("out");
    std::filesystem::create_directories(path);
    return path;
  }

  std::vector<std::string> files(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir_;
  std::string workbook_;
};

TEST_F(ScriptCommand, WritesEveryTableAndNamesUndefinedNotations) {
  const std::string folder = out();
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--sql", folder, workbook_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(files(folder), (std::vector<std::string>{"受注.sql", "受注明細.sql", "商品.sql", "顧客.sql"}));
  const std::string expected =
      "BEGIN TRANSACTION \r\nCREATE TABLE dbo.顧客 \r\n\t(\r\n"
      "\t顧客ID int  NOT NULL  IDENTITY (1,1) ,\r\n"
      "\t顧客名 varchar(50)  NOT NULL ,\r\n"
      "\t顧客名カナ varchar(100)  NULL ,\r\n"
      "\t電話番号 char(13)  NULL \r\n"
      "\t) ON [PRIMARY] \r\n"
      "ALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n\tPK_顧客 PRIMARY KEY CLUSTERED \r\n\t( \r\n\t顧客ID\r\n"
      "\t) ON [PRIMARY] \r\nCOMMIT \r\n";
  EXPECT_EQ(test::readBytes(folder + "/顧客.sql"), platform::toCp932(expected));
  for (const char* line : {"顧客: 日付は未定義です\n", "顧客: 通貨は未定義です\n", "受注: 日付は未定義です\n",
                           "受注: 通貨は未定義です\n"}) {
    EXPECT_NE(run.err.find(line), std::string::npos) << line << " missing in\n" << run.err;
  }
  EXPECT_EQ(run.err.find("受注明細:"), std::string::npos) << run.err;
}

TEST_F(ScriptCommand, WritesOnlyTheNamedTables) {
  const std::string folder = out();
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--table", "商品", "--table", "受注明細", "--sql", folder, workbook_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(files(folder), (std::vector<std::string>{"受注明細.sql", "商品.sql"}));
}

TEST_F(ScriptCommand, LoadedNotationsReachTheScripts) {
  const std::string folder = out();
  const std::string types = std::string(MORVANE_SOURCE_DIR) + "/examples/types-ja.sfa";
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--types", types, "--table", "受注", "--sql", folder, workbook_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string script = platform::fromCp932(test::readBytes(folder + "/受注.sql"));
  EXPECT_NE(script.find("\t受注日 datetime  NOT NULL ,\r\n\t合計金額 money  NULL ,\r\n"), std::string::npos) << script;
}

TEST_F(ScriptCommand, FailingTablesAreNamedAndTheRestWritten) {
  // Sizes read from the key column: identity and decimal sizes lose their comma.
  const std::string folder = out();
  const BatchRun run = batch({"--layout-values", "1,5,6,3,3,4,5,7,7,9", "--sql", folder, workbook_});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(files(folder), (std::vector<std::string>{"受注.sql"}));
  for (const char* table : {"顧客", "受注明細", "商品"}) {
    EXPECT_NE(run.err.find(std::string("table ") + table + ": no script written: "), std::string::npos) << run.err;
  }
}

TEST_F(ScriptCommand, MissingFolderFailsWithOneLine) {
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--sql", dir_.file("nowhere"), workbook_});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no such folder"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.file("nowhere")));
}

}  // namespace
}  // namespace morvane
