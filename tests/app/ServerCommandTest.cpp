// morvane-batch --server against the TDS test server: what is sent, what is refused, and the
// password.
#include <gtest/gtest.h>

#include <set>

#include "Batch.h"
#include "platform/text/Cp932.h"
#include "sqlserver/ForeignKeys.h"
#include "tests/support/DesignBook.h"

// Catalog rows and configs name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morvane::test {
namespace {

// A password that would break an unquoted connection string.
const std::string kPassword = "p;w={x}";

TdsTestServer::Config account() { return {.user = "sa", .password = kPassword, .database = "販売"}; }

BatchRun onServer(const TdsTestServer& server, std::vector<std::string> args, std::vector<std::string> env = {},
                  const std::string& password = kPassword) {
  const auto options = login(server);
  args.insert(args.begin(), options.begin(), options.end());
  env.push_back("MORVANE_PASSWORD=" + password);
  return batch(args, env);
}

// The same scripts through --sql, --deploy and --server, in the notations of --types (where "date"
// is none): the foreign keys after every table, and on the server a table with an injected default
// refused and the reference to it left out.
TEST(ServerCommand, BuildsTheWholeSchemaForeignKeysLast) {
  TempDir dir;
  const std::string book = writeDesignBook(dir.file("schema.xlsx"), schemaSheets());
  const std::string out = dir.file("out"), deploy = dir.file("deploy.sql");
  const std::vector<std::string> args = {"--layout-extra", kFullLayoutExtra, "--types", kExamples + "types-ja.sfa"};
  std::vector<std::string> toFiles = {"--sql", out, "--deploy", deploy, book};
  toFiles.insert(toFiles.begin(), args.begin(), args.end());
  const BatchRun written = batch(toFiles);
  ASSERT_EQ(written.status, 0) << written.err;
  // Each file is its table's, in code page 932.
  auto file = [&](const std::string& name) { return platform::fromCp932(readBytes(out + "/" + name + ".sql")); };
  const std::string fk = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tFK_Orders_";
  const std::string toCustomer = fk + "CustomerID FOREIGN KEY (CustomerID) REFERENCES dbo.顧客 (ID) \r\n";
  const std::string toItems = fk + "ItemID FOREIGN KEY (ItemID) REFERENCES dbo.Items (ID) \r\n";
  EXPECT_EQ(file("_foreign_keys"), "BEGIN TRANSACTION \r\n" + toCustomer + fk +
                                       "BadID FOREIGN KEY (BadID) REFERENCES dbo.Bad (ID) \r\n" + toItems + "COMMIT \r\n");
  // Its header is pinned in WriteCommandsTest.
  EXPECT_TRUE(platform::fromCp932(readBytes(deploy)).ends_with("\r\n\r\n" + file("顧客") + "GO\r\n" + file("Orders") +
                                                               "GO\r\n" + file("Bad") + "GO\r\n" + file("_foreign_keys") + "GO\r\n"));

  TdsTestServer::Config config = account();
  config.catalog = TdsTestServer::Catalog{.columns = {{"Items", "ID", 1, "int"}}};
  TdsTestServer server(config);
  // The driver library is found even where no ODBC driver is registered.
  TempDir emptyConfig;
  const BatchRun run =
      onServer(server, {args[0], args[1], args[2], args[3], book}, {"ODBCSYSINI=" + emptyConfig.path().string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "morvane-batch: テーブル「顧客」: dateは未定義です\n"
                     "morvane-batch: テーブル「Bad」を作成できません: フィールド「ID」の既定値「0); DROP TABLE x; --」は"
                     "数値、文字列、NULL、決まった関数のどれでもないため、サーバでは実行しません\n"
                     "morvane-batch: 外部キー「FK_Orders_BadID」を作りません: 参照先のテーブル「Bad」を作成できませんでした\n");
  auto sent = [&](const std::string& name) { return file(name).substr(0, file(name).size() - 2); };
  EXPECT_EQ(server.batches(), (Names{"SET XACT_ABORT ON", sent("顧客"), sent("Orders"), kTableNamesQuery,
                                     "BEGIN TRANSACTION \r\n" + toCustomer + toItems + "COMMIT "}));
}

// Control characters on the way to the terminal; the refusal's reason is pinned in ScriptGeneratorTest,
// and a refused table leaving the others to go is shown above.
TEST(ServerCommand, HostileNamesAreRefusedOnTheServerAndShownEscaped) {
  TempDir dir;
  const std::vector<Row> id = {{"ID", "int"}};
  const std::string book = writeDesignBook(dir.file("hostile.xlsx"),
                                           {{"Good", id}, {"\x1B[31mred", {{"ID", "int"}, {"M", "\x1B]x"}}}, {"Last", id}});
  const std::vector<std::string> layout = {"--layout-values", "1,4,6,3,3,4,5,6,7,9", book};
  TdsTestServer server(account());
  const BatchRun run = onServer(server, layout);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(server.tables(), (std::set<std::string>{"Good", "Last"}));
  EXPECT_LACKS(run.err, '\x1B');
  EXPECT_EQ(run.errLines(), 2) << run.err;
  EXPECT_HAS(run.err, "morvane-batch: テーブル「\\x1B[31mred」: \\x1B]xは未定義です\n");
  EXPECT_HAS(run.err, "テーブル「\\x1B[31mred」を作成できません: テーブル名「\\x1B[31mred」に制御文字");
  EXPECT_HAS(batch({layout[0], layout[1], "--deploy", dir.file("all.sql"), book}).err,
             "テーブル「\\x1B[31mred」: \\x1B]xは未定義です\n");
}

TEST(ServerCommand, PasswordsAndAServerThatStopsAnswering) {
  TdsTestServer server(account());
  const std::vector<std::string> args = {"--layout-values", kExampleLayout, kExampleBook};
  const BatchRun wrong = onServer(server, args, {}, "wrong");
  EXPECT_EQ(std::tuple(wrong.status, wrong.errLines()), std::tuple(1, 1));
  EXPECT_HAS(wrong.err, "Login failed for user 'sa'.");
  // No password and no terminal to ask on.
  auto withLogin = login(server);
  withLogin.insert(withLogin.end(), args.begin(), args.end());
  const BatchRun none = batch(withLogin);
  EXPECT_EQ(none.status, 2);
  EXPECT_HAS(none.err, "MORVANE_PASSWORD");
  EXPECT_EQ(server.connectionCount(), 1u);
  // On a terminal it is asked for without echo.
  const std::string prompt = server.address() + " の sa のパスワード: ";
  const BatchRun asked = batchOnTerminal(withLogin, prompt, kPassword + "\n");
  EXPECT_HAS(asked.out, prompt);
  EXPECT_EQ(asked.status, 0) << asked.out;
  EXPECT_LACKS(asked.out, kPassword);
  ASSERT_EQ(server.logins().size(), 2u);
  EXPECT_EQ(server.logins()[1].password, kPassword);

  TdsTestServer::Config config = account();
  config.mode = TdsTestServer::Mode::mute;
  TdsTestServer mute(config);
  TempDir dir;
  const std::string book = writeDesignBook(dir.file("two.xlsx"), {{"First", {{"ID", "int"}}}, {"Second", {{"ID", "int"}}}});
  const BatchRun run = onServer(mute, {"--query-timeout", "1", book});
  EXPECT_EQ(std::tuple(run.status, run.errLines()), std::tuple(1, 2)) << run.err;
  EXPECT_TRUE(run.err.starts_with("morvane-batch: テーブル「First」を作成できません: サーバが 1 秒以内に応答しませんでした"))
      << run.err;
  EXPECT_HAS(run.err, "テーブル「Second」を作成できません: ");
  EXPECT_EQ(mute.batches().at(0), "SET XACT_ABORT ON");
}

}  // namespace
}  // namespace morvane::test
