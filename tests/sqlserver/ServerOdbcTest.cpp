// The ODBC adapter, the catalog reader and table creation against the TDS test server, through
// unixODBC and the real FreeTDS driver.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/odbc/Odbc.h"
#include "sqlserver/CatalogAttributes.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using platform::OdbcConnection;
using platform::OdbcError;
using platform::SqlServerLogin;
using test::TdsTestServer;
using Lines = std::vector<std::string>;

TdsTestServer::Config account(std::string user = "sa", std::string password = "pw", std::string database = "") {
  return {.user = std::move(user), .password = std::move(password), .database = std::move(database)};
}

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(no error)";
}

std::string connectError(const SqlServerLogin& login, int timeout = 15) {
  return errorOf([&] { OdbcConnection(login, timeout); });
}

TEST(ServerOdbc, BatchesArriveByteForByteAndAFailureCarriesTheFirstServerMessage) {
  TdsTestServer server(account());
  OdbcConnection connection({server.address(), "master", "sa", "pw"}, 15);
  // Nothing added, nothing split: no terminator, no trailing line break, no GO splitting.
  const Lines batches = {"BEGIN TRANSACTION CREATE TABLE dbo.T (a int) ALTER TABLE dbo.T ADD CONSTRAINT PK_T COMMIT ",
                         "\tleading tab, trailing spaces   ", "𠮷野家 ｶﾅ ～①\r\n"};
  for (const auto& batch : batches) connection.execute(batch);
  EXPECT_EQ(server.batches(), batches);
  const std::string exists = "[FreeTDS][SQL Server]There is already an object named 'T' in the database.";
  // The server also reports the key's failure; the driver manager ends the statement at the first.
  EXPECT_EQ(errorOf([&] { connection.execute(batches[0]); }), exists);
  // An error after a statement that counted rows is found only by walking on to the next result.
  EXPECT_EQ(errorOf([&] { connection.execute("INSERT INTO dbo.T VALUES (1) CREATE TABLE dbo.T (a int)"); }), exists);
  EXPECT_NO_THROW(connection.execute("INSERT INTO dbo.T VALUES (1)"));
  EXPECT_NE(errorOf([&] { connection.execute("a\xE3\x81"); }).find("UTF-8 として正しくない"), std::string::npos);
  EXPECT_EQ(server.batches().size(), 6u);
}

TEST(ServerOdbc, LoginsThatFailOrCannotBePassedSayWhy) {
  TdsTestServer server(account("sa", "right", "販売"));
  const std::string address = server.address(), port = std::to_string(server.port());
  const std::string closedPort = "127.0.0.1," + std::to_string(TdsTestServer().port());  // gone at the semicolon
  const std::pair<SqlServerLogin, std::string> cases[] = {
      {{address, "販売", "sa", "wrong"}, "Login failed for user 'sa'."},
      {{address, "販売2", "sa", "right"}, "Cannot open database \"販売2\" requested by the login."},
      {{closedPort, "", "sa", "x"}, "Unable to connect"},
      {{"127.0.0.1};Port=1", "販売", "sa", "right"}, "サーバ名"},
      {{"127.0.0.1\nDriver = x," + port, "販売", "sa", "right"}, "サーバ名"},
      {{"[other]", "販売", "sa", "right"}, "サーバ名"},
      {{"host=x", "販売", "sa", "right"}, "サーバ名"},
      {{address, "販売", "sa", std::string("p\0w", 3)}, "パスワード"},
      {{address, std::string("d\0b", 3), "sa", "right"}, "DB名"},
      {{address, "db\nDriver = x", "sa", "right"}, "DB名"},
      {{address, " db", "sa", "right"}, "DB名"},
      {{address, "db ", "sa", "right"}, "DB名"},
      {{address, "販売", std::string("s\0a", 3), "right"}, "ユーザ名"},
      {{address, "販売", "", "right"}, "ユーザ名"},
  };
  for (const auto& [login, reason] : cases) {
    const std::string message = connectError(login);
    EXPECT_NE(message.find(reason), std::string::npos) << message;
    EXPECT_EQ(message.find("サーバへ渡せません") == std::string::npos, reason.find(' ') != std::string::npos) << message;
  }
  for (const char* box : {"127.0.0.1,", "127.0.0.1,0", "127.0.0.1,65536", "127.0.0.1,14x3", "127.0.0.1,-1"}) {
    EXPECT_EQ(connectError({box, "", "sa", "pw"}), "サーバ名のコンマの後のポートは 1 から 65535 までの数値にしてください");
  }
  EXPECT_EQ(server.connectionCount(), 2u);  // the two that got as far as the server
  EXPECT_TRUE(server.batches().empty());
  // A server box takes a host, a port and an instance, blanks around them.
  for (const std::string& box : {"127.0.0.1," + port, " 127.0.0.1 , " + port + " ", "127.0.0.1\\SQLEXPRESS," + port}) {
    EXPECT_EQ(connectError({box, "販売", "sa", "right"}), "(no error)") << box;
  }
  ASSERT_EQ(server.logins().size(), 5u);
  EXPECT_EQ(server.logins()[4].tdsVersion, 0x74000004u);
}

TEST(ServerOdbc, ASilentServerTimesOutButSlowBatchesDoNot) {
  auto config = account("sa", "secret");
  config.mode = TdsTestServer::Mode::silent;
  TdsTestServer silent(config);
  EXPECT_NE(connectError({silent.address(), "", "sa", "secret"}, 1).find("Timeout expired"), std::string::npos);
  EXPECT_EQ(silent.connectionCount(), 1u);
  // The login limit must not stay on as a limit for batches.
  config.mode = TdsTestServer::Mode::answer;
  config.batchDelay = std::chrono::milliseconds(2500);
  TdsTestServer slow(config);
  OdbcConnection connection({slow.address(), "", "sa", "secret"}, 1);
  EXPECT_NO_THROW(connection.execute("CREATE TABLE dbo.Slow (a int)"));
  EXPECT_EQ(slow.tables(), std::set<std::string>{"Slow"});
}

// Values the data source file could take for a comment, a section, a separator or a driver log in
// exactly; none makes the driver manager load a library (one that leaves a marker file when loaded).
TEST(ServerOdbc, ValuesWithSeparatorsAndBracesArriveExactlyAndLoadNothing) {
  test::TempDir dir;
  const std::string marker = dir.file("loaded"), library = MORVANE_MARKER_LIBRARY;
  ASSERT_EQ(::setenv("MORVANE_MARKER_FILE", marker.c_str(), 1), 0);
  const Lines values = {"k=v;PWD=x", " spaced ", "ﾊﾟｽ}", "", "𠮷", "#x", "[x]", "};DRIVER={" + library + "};"};
  for (const auto& value : values) {
    // An empty user name would make FreeTDS try a Kerberos login; a database name cannot begin
    // or end with a blank.
    const std::string user = "u" + value, database = value == " spaced " ? "spaced" : value;
    TdsTestServer server(account(user, value, database));
    EXPECT_EQ(connectError({server.address(), database, user, value}), "(no error)") << "value: " << value;
    ASSERT_EQ(server.logins().size(), 1u) << value;
    const auto login = server.logins().front();
    EXPECT_EQ(Lines({login.user, login.password, login.database}), Lines({user, value, database}));
    if (value.find(library) == std::string::npos) continue;
    EXPECT_NE(connectError({server.address() + value, "", "sa", "pw"}).find("サーバ名"), std::string::npos) << value;
    EXPECT_NE(connectError({value + "," + std::to_string(server.port()), "", "sa", "pw"}).find("サーバ名"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(marker));
  // The marker works: loaded on purpose, it appears.
  void* handle = ::dlopen(library.c_str(), RTLD_NOW);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(std::filesystem::exists(marker));
  ::dlclose(handle);
  ::unsetenv("MORVANE_MARKER_FILE");
}

// Japanese names, an identity, NULLs, a composite key; rows of one table out of ordinal order.
// A system-named default, a two-column foreign key out of order, descriptions; rows of a table
// the columns answer does not hold are passed over.
TdsTestServer::Config sampleCatalog() {
  TdsTestServer::Catalog catalog;
  catalog.columns = {
      {"受注", "受注ID", 1, "int", {}, 10, 0, "NO", 1, 100, 5}, {"受注", "金額", 3, "decimal", {}, 10, 2, "YES", 0, 100, 5},
      {"受注", "備考", 2, "varchar", -1, {}, {}, "YES", 0, 100, 5}, {"明細", "受注ID", 1, "int", {}, 10, 0, "NO", 0, {}, {}},
      {"明細", "行", 2, "char", 2, {}, {}, "NO", 0, {}, {}},
  };
  catalog.keys = {{"受注", "受注ID", 1}, {"明細", "行", 2}, {"明細", "受注ID", 1}, {"明細", "行", 1, "UQ_行", false, true}};
  catalog.defaults = {{"受注", "金額", "DF__受注__金額__5EBF139D", "((0))"}, {"他", "x", "DF_x", "(1)"}};
  catalog.foreignKeys = {{"明細", "FK_明細", "行", "受注", "備考", "2"}, {"明細", "FK_明細", "受注ID", "受注", "受注ID", "1"}};
  catalog.descriptions = {{"受注", std::nullopt, "受注"}, {"受注", "備考", "メモ"}};
  return {.user = "sa", .password = "pw", .database = "販売", .catalog = catalog};
}

std::vector<ServerTable> readFrom(TdsTestServer& server) {
  OdbcConnection connection({server.address(), "販売", "sa", "pw"}, 15);
  return readServerCatalog(connection);
}

TEST(ServerCatalog, ReadsTablesColumnsKeysAndAttributes) {
  TdsTestServer server(sampleCatalog());
  const auto tables = readFrom(server);
  ASSERT_EQ(tables.size(), 2u);
  const ServerTable &order = tables[0], &line = tables[1];
  ASSERT_EQ(order.columns.size(), 3u);
  const ServerColumn &id = order.columns[0], &memo = order.columns[1], &sum = order.columns[2];
  EXPECT_EQ(Lines({order.name, memo.name, sum.defaultValue.value_or("-"), sum.defaultName, order.description,
                   memo.description}),
            Lines({"受注", "備考", "((0))", "DF__受注__金額__5EBF139D", "受注", "メモ"}));
  EXPECT_EQ(std::tuple(memo.length, memo.precision, line.columns[1].length), std::tuple(-1, std::nullopt, 2));
  EXPECT_TRUE(memo.nullable && id.identity && !id.nullable);
  // The table's seed comes with every row; only the identity column keeps it.
  EXPECT_EQ(std::tuple(id.seed, id.increment, sum.seed, sum.precision, sum.scale),
            std::tuple(100, 5, std::nullopt, 10, 2));
  EXPECT_EQ(std::tuple(order.keys, line.keys, line.keyName), std::tuple(Lines{"受注ID"}, Lines{"受注ID", "行"}, "PK_明細"));
  ASSERT_EQ(line.indexes.size(), 2u);
  const auto& uq = line.indexes[1];
  EXPECT_TRUE(uq.name == "UQ_行" && uq.uniqueConstraint && uq.unique && !uq.primaryKey && uq.columns == Lines{"行"});
  ASSERT_EQ(line.foreignKeys.size(), 1u);
  EXPECT_EQ(std::pair(line.foreignKeys[0].columns, line.foreignKeys[0].referencedColumns),
            std::pair(Lines{"受注ID", "行"}, Lines{"受注ID", "備考"}));
  EXPECT_EQ(line.columns[0].referenceTable, "");  // two columns: no reference cell can say it
}

TEST(ServerCatalog, AnswersThatEndBadlyOrRunOverTheLimitsAreErrorsAndAnEmptyDatabaseIsNot) {
  TdsTestServer empty({.user = "sa", .password = "pw", .database = "販売", .catalog = TdsTestServer::Catalog{}});
  EXPECT_TRUE(readFrom(empty).empty());
  // Closed mid-answer, or no result set at all (a server without a catalog): not an empty database.
  auto config = sampleCatalog();
  config.catalog->hangUpInColumns = true;
  for (const auto& bad : {config, account("sa", "pw", "販売")}) {
    TdsTestServer server(bad);
    EXPECT_THROW(readFrom(server), OdbcError);
  }
  // 1000 rows are read, the 1001st is cancelled, and the connection goes on.
  config = sampleCatalog();
  config.catalog->columns.insert(config.catalog->columns.end(), 996, config.catalog->columns.back());
  TdsTestServer server(config);
  OdbcConnection connection({server.address(), "販売", "sa", "pw"}, 15, 10);
  EXPECT_EQ(connection.query(kCatalogColumnsQuery, {1001, SIZE_MAX}).size(), 1001u);
  EXPECT_NE(errorOf([&] { connection.query(kCatalogColumnsQuery, {1000, SIZE_MAX}); }).find("1000 行を超えた"), std::string::npos);
  EXPECT_NE(errorOf([&] { connection.query(kCatalogColumnsQuery, {SIZE_MAX, 5000}); }).find("5000 バイトを超えた"), std::string::npos);
  EXPECT_EQ(connection.query(kCatalogKeysQuery).size(), 4u);
}

TEST(ServerCatalog, AnswersThatAreNotNumbersOrHaveTheWrongWidthAreRefused) {
  using Row = OdbcConnection::Row;
  auto columnRow = [](std::optional<std::string> ordinal, std::optional<std::string> seed) {
    return Row{"T", "a", ordinal, "int", {}, "10", "0", "NO", "1", seed, "1"};
  };
  // A numeric(38,0) seed may come with a decimal point.
  const auto tables = catalogFromRows({columnRow(" 1 ", "-7.000")}, {});
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].columns[0].seed, -7);
  // Names named twice, or twice but for case or width: one object on the server.
  const Row key{"T", "PK_T", "1", "0", "1", "1", "a"};
  const std::pair<std::vector<Row>, std::vector<Row>> refusedRows[] = {
      {{columnRow("x1", "1")}, {}}, {{columnRow("1", "1.5")}, {}}, {{columnRow(std::nullopt, "1")}, {}},
      {{Row{"T", "a", "1"}}, {}}, {{}, {Row{"T", "a"}}}, {{columnRow("1", "1"), columnRow("2", "1")}, {}},
      {{columnRow("1", "1"), Row{"T", "Ａ", "2", "int", {}, "10", "0", "NO", "0", {}, {}}}, {}},
      {{columnRow("1", "1"), Row{"t", "b", "1", "int", {}, "10", "0", "NO", "0", {}, {}}}, {}},
      {{columnRow("1", "1")}, {key, key}}};
  for (const auto& [columns, keys] : refusedRows) EXPECT_THROW(catalogFromRows(columns, keys), CatalogError);
  // The attribute answers: a wrong width, a NULL, a default or description twice, a text over
  // the bound, a key column's place that is no number or comes twice.
  const Row twice[] = {{"T", "a", "DF", "(1)"}, {"T", "A", "DF2", "(2)"}};
  const Row foreign = {"T", "FK", "a", "T", "a", "1"};
  const std::vector<std::vector<Row>> refused[] = {
      {{Row{"T", "a", "DF"}}, {}, {}}, {{Row{"T", std::nullopt, "DF", "(1)"}}, {}, {}}, {{twice[0], twice[1]}, {}, {}},
      {{}, {}, {Row{"T", std::nullopt, "x"}, Row{"t", std::nullopt, "y"}}}, {{}, {}, {Row{"T", "a", std::string(20000, 'x')}}},
      {{}, {Row{"T", "FK", "a", "T", "a", "one"}}, {}}, {{}, {foreign, foreign}, {}}};
  for (const auto& answers : refused) {
    auto copy = tables;
    EXPECT_THROW(addCatalogAttributes(copy, answers[0], answers[1], answers[2]), CatalogError);
  }
}

clsTableInfo customers(const std::string& name, const std::string& idSize = "1,1") {
  return test::makeTable(name, {{name + "ID", "identity", idSize, false}, {"名前", "varchar", "50", false}}, {name + "ID"});
}

TEST(ServerTables, EachTableIsOneBatchAndAFailureSaysWhy) {
  TdsTestServer server(account("sa", "a};b", "販売"));
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "販売", "sa", "a};b")) << db.getFailReason();
  EXPECT_TRUE(db.fnMakeTable(customers("顧客"))) << db.getFailReason();
  EXPECT_FALSE(db.fnMakeTable(customers("顧客")));
  EXPECT_NE(db.getFailReason().find("There is already an object named '顧客' in the database."), std::string::npos);
  EXPECT_EQ(db.getErrMsg(), "") << "a server failure is not a notation failure";
  // A script that cannot be built sends nothing (identity size without a comma).
  EXPECT_FALSE(db.fnMakeTable(customers("Bad", "1")));
  EXPECT_NE(db.getFailReason().find("カンマがありません"), std::string::npos) << db.getFailReason();
  // A cancel after the first of three tables sends no other.
  test::RecordingProgress afterFirst(1);
  Lines reported;
  const ProgressTally tally = db.fnMakeTables(test::dbOf({customers("受注"), customers("商品"), customers("在庫")}), afterFirst,
                                              [&](const clsTableInfo& t, bool ok) { reported.push_back(t.getName() + (ok ? " ok" : "")); });
  EXPECT_EQ(reported, Lines{"受注 ok"});
  EXPECT_EQ(afterFirst.calls(), (Lines{"begin 3", "step 0 受注", "end 1/0/2 cancelled"}));
  EXPECT_TRUE(tally.cancelled);
  EXPECT_TRUE(db.fnCloseDB());
  const std::string first = db.makeCreateSQL(customers("顧客")).value();
  // Each table all or nothing: set once for the connection, before its first script.
  EXPECT_EQ(server.batches(), (Lines{"SET XACT_ABORT ON", first, first, db.makeCreateSQL(customers("受注")).value()}));
  EXPECT_EQ(server.tables(), (std::set<std::string>{"顧客", "受注"}));

  // A failed open replaces the earlier connection: nothing reaches either server.
  TdsTestServer other(account("sa", "pw", "販売"));
  ASSERT_TRUE(db.fnOpenDB(server.address(), "販売", "sa", "a};b"));
  EXPECT_FALSE(db.fnOpenDB(other.address(), "販売", "sa", "wrong"));
  EXPECT_NE(db.getFailReason().find("Login failed for user 'sa'."), std::string::npos) << db.getFailReason();
  EXPECT_FALSE(db.fnMakeTable(customers("顧客")));  // not open: fails silently
  EXPECT_EQ(db.getFailReason(), "");
  EXPECT_EQ(server.batches().size(), 4u);
  EXPECT_TRUE(other.batches().empty());
}

}  // namespace
}  // namespace morvane
