// morvane-batch --server against the TDS test server.
#include <gtest/gtest.h>

#include <set>

#include "Batch.h"
#include "platform/text/Cp932.h"
#include "sqlserver/ForeignKeys.h"
#include "tests/support/DesignBook.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TdsTestServer.h"

namespace morvane::test {
namespace {

// A password that would break an unquoted connection string.
const std::string kPassword = "p;w={x}";

TdsTestServer::Config account() { return {.user = "sa", .password = kPassword, .database = "販売"}; }

std::vector<std::string> serverArgs(const TdsTestServer& server) {
  return {"--layout",   kExamples + "design-document.edf", "--types", kExamples + "types-ja.sfa",
          "--server",   server.address(),                  "--database", "販売",
          "--user",     "sa",                              kExampleBook};
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    out.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
  }
  return out;
}

// The scripts --sql writes for the example with the same settings, in sheet order, as sent.
std::vector<std::string> exampleScripts() {
  TempDir dir;
  std::vector<std::string> args = {"--layout", kExamples + "design-document.edf", "--types",
                                   kExamples + "types-ja.sfa", "--sql", dir.path().string(), kExampleBook};
  if (batch(args).status != 0) return {};
  std::vector<std::string> scripts;
  const clsDBInfo model = exampleModel();
  for (const auto& table : model.getTables()) {
    const std::string file = platform::fromCp932(readBytes(dir.file(table->getName() + ".sql")));
    scripts.push_back(file.substr(0, file.size() - 2));  // without the file's last CR LF
  }
  return scripts;
}

TEST(ServerCommand, CreatesTheExamplesTablesThenReportsEachExistingOne) {
  TdsTestServer server(account());
  // The driver library is found even where no ODBC driver is registered.
  TempDir emptyConfig;
  const BatchRun first =
      batch(serverArgs(server), {"MORVANE_PASSWORD=" + kPassword, "ODBCSYSINI=" + emptyConfig.path().string()});
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "");
  auto scripts = exampleScripts();
  ASSERT_EQ(scripts.size(), 4u);
  scripts.insert(scripts.begin(), "SET XACT_ABORT ON");
  // Then the foreign keys of the two tables that refer to others, a batch each.
  auto sent = server.batches();
  ASSERT_EQ(sent.size(), scripts.size() + 2);
  for (std::size_t i = scripts.size(); i < sent.size(); ++i) EXPECT_NE(sent[i].find(" FOREIGN KEY ("), std::string::npos);
  sent.resize(scripts.size());
  EXPECT_EQ(sent, scripts);
  EXPECT_EQ(server.tables(), (std::set<std::string>{"顧客", "受注", "受注明細", "商品"}));

  const BatchRun second = batch(serverArgs(server), {"MORVANE_PASSWORD=" + kPassword});
  EXPECT_EQ(second.status, 1);
  const auto errors = lines(second.err);
  ASSERT_GE(errors.size(), scripts.size() - 1) << second.err;
  for (std::size_t i = 0; i < scripts.size() - 1; ++i) {
    EXPECT_TRUE(errors[i].starts_with("morvane-batch: テーブル「")) << errors[i];
    EXPECT_NE(errors[i].find("」を作成できません: [FreeTDS][SQL Server]There is already an object named '"), std::string::npos)
        << errors[i];
  }
  // The foreign keys of tables not made are not sent.
  for (std::size_t i = scripts.size() - 1; i < errors.size(); ++i) EXPECT_NE(errors[i].find("外部キー"), std::string::npos) << errors[i];
}

// Every statement a table can get, the same through --sql, --deploy and --server: the foreign
// keys after every table, and on the server a table with an injected default refused and the
// reference to it left out.
TEST(ServerCommand, BuildsTheWholeSchemaForeignKeysLast) {
  TempDir dir;
  const std::string book = writeDesignBook(dir.file("schema.xlsx"), schemaSheets());
  const std::string out = dir.file("out"), deploy = dir.file("deploy.sql");
  const BatchRun written = batch({"--layout-extra", kFullLayoutExtra, "--sql", out, "--deploy", deploy, book});
  ASSERT_EQ(written.status, 0) << written.err;
  auto file = [&](const std::string& name) { return platform::fromCp932(readBytes(out + "/" + name + ".sql")); };
  const std::string add = "ALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n\t";
  const std::string describe = "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'";
  const std::string table = "', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'顧客'";
  const std::string column = table + ", @level2type = N'COLUMN', @level2name = N'";
  EXPECT_EQ(file("顧客"),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo.顧客 \r\n\t(\r\n\tID int  NOT NULL ,\r\n\tコード char(10)  NOT NULL ,\r\n"
            "\t支店 char(3)  NOT NULL ,\r\n\t名前 varchar(40)  NULL ,\r\n\t登録日 datetime  NOT NULL \r\n\t) ON [PRIMARY] \r\n" +
                add + "PK_顧客 PRIMARY KEY CLUSTERED \r\n\t( \r\n\tID\r\n\t) ON [PRIMARY] \r\n" +
                add + "DF_顧客_コード DEFAULT ('000') FOR コード\r\n" + add + "DF_顧客_支店 DEFAULT (N'な''し') FOR 支店\r\n" +
                add + "DF_顧客_登録日 DEFAULT (getdate()) FOR 登録日\r\n" +
                add + "UQ_顧客_コード_支店 UNIQUE NONCLUSTERED \r\n\t( \r\n\tコード,\r\n\t支店\r\n\t) ON [PRIMARY] \r\n"
                "CREATE NONCLUSTERED INDEX IX_顧客_コード_名前 ON dbo.顧客 \r\n\t( \r\n\tコード,\r\n\t名前\r\n\t) ON [PRIMARY] \r\n"
                "CREATE NONCLUSTERED INDEX IX_顧客_登録日 ON dbo.顧客 \r\n\t( \r\n\t登録日\r\n\t) ON [PRIMARY] \r\n" +
                describe + "顧客''s ]マスタ" + table + "\r\n" + describe + "顧客ID" + column + "ID'\r\n" + describe +
                "コード" + column + "コード'\r\n" + describe + "O''Neil ]の名前" + column + "名前'\r\n" + describe + "登録日" +
                column + "登録日'\r\nCOMMIT \r\n");
  EXPECT_NE(file("Orders").find("N'注文の番号', @level0type"), std::string::npos) << file("Orders");
  EXPECT_NE(file("Bad").find("\tDF_Bad_ID DEFAULT (0); DROP TABLE x; --) FOR ID\r\n"), std::string::npos) << file("Bad");
  const std::string toCustomer = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tFK_Orders_CustomerID FOREIGN KEY (CustomerID) REFERENCES dbo.顧客 (ID) \r\n";
  const std::string toBad = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tFK_Orders_BadID FOREIGN KEY (BadID) REFERENCES dbo.Bad (ID) \r\n";
  const std::string toItems = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tFK_Orders_ItemID FOREIGN KEY (ItemID) REFERENCES dbo.Items (ID) \r\n";
  EXPECT_EQ(file("_foreign_keys"), "BEGIN TRANSACTION \r\n" + toCustomer + toBad + toItems + "COMMIT \r\n");
  const std::string text = platform::fromCp932(readBytes(deploy));
  EXPECT_NE(text.find(" " MORVANE_VERSION "\r\nSET XACT_ABORT ON\r\nGO\r\n\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.find("\r\n\r\n") + 4), file("顧客") + "GO\r\n" + file("Orders") + "GO\r\n" + file("Bad") +
                                                       "GO\r\n" + file("_foreign_keys") + "GO\r\n");

  TdsTestServer::Config config = account();
  config.catalog = TdsTestServer::Catalog{.columns = {{"Items", "ID", 1, "int"}}};
  TdsTestServer server(config);
  const BatchRun run = batch({"--layout-extra", kFullLayoutExtra, "--server", server.address(), "--database", "販売",
                              "--user", "sa", book},
                             {"MORVANE_PASSWORD=" + kPassword});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(lines(run.err), (std::vector<std::string>{
                                "morvane-batch: テーブル「Bad」を作成できません: フィールド「ID」の既定値「0); DROP TABLE x; --」は"
                                "数値、文字列、NULL、決まった関数のどれでもないため、サーバでは実行しません",
                                "morvane-batch: 外部キー「FK_Orders_BadID」を作りません: 参照先のテーブル「Bad」を作成できませんでした"}));
  auto sent = [&](const std::string& name) { return file(name).substr(0, file(name).size() - 2); };
  EXPECT_EQ(server.batches(), (std::vector<std::string>{"SET XACT_ABORT ON", sent("顧客"), sent("Orders"), kTableNamesQuery,
                                                        "BEGIN TRANSACTION \r\n" + toCustomer + toItems + "COMMIT "}));
}

TEST(ServerCommand, PasswordProblemsStopBeforeAnyTable) {
  TdsTestServer server(account());
  const BatchRun wrong = batch(serverArgs(server), {"MORVANE_PASSWORD=wrong"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("Login failed for user 'sa'."), std::string::npos) << wrong.err;
  EXPECT_EQ(wrong.errLines(), 1) << wrong.err;
  // No password and no terminal to ask on.
  const BatchRun none = batch(serverArgs(server));
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("MORVANE_PASSWORD"), std::string::npos) << none.err;
  EXPECT_EQ(server.connectionCount(), 1u);
  EXPECT_TRUE(server.batches().empty());
}

TEST(ServerCommand, AsksForThePasswordOnTheTerminalWithoutEcho) {
  TdsTestServer server(account());
  const std::string prompt = server.address() + " の sa のパスワード: ";
  const BatchRun run = batchOnTerminal(serverArgs(server), prompt, kPassword + "\n");
  const std::string& screen = run.out;
  EXPECT_NE(screen.find(prompt), std::string::npos) << screen;
  EXPECT_EQ(run.status, 0) << screen;
  EXPECT_EQ(screen.find(kPassword), std::string::npos) << "the password was echoed: " << screen;
  ASSERT_EQ(server.logins().size(), 1u);
  EXPECT_EQ(server.logins()[0].password, kPassword);
}

}  // namespace
}  // namespace morvane::test
