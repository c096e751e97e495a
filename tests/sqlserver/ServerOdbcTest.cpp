// The ODBC adapter against the TDS test server, through unixODBC and the real FreeTDS driver.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/odbc/Odbc.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using platform::checkSqlServerLogin;
using platform::OdbcConnection;
using platform::OdbcError;
using platform::SqlServerLogin;
using test::TdsTestServer;
using test::TempDir;

TdsTestServer::Config account(std::string user, std::string password, std::string database = "") {
  return {.user = std::move(user), .password = std::move(password), .database = std::move(database)};
}

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const OdbcError& error) {
    return error.what();
  }
  return "(no error)";
}

std::string connectError(const SqlServerLogin& login, int timeout = 15) {
  return errorOf([&] { OdbcConnection(login, timeout); });
}

TEST(ServerOdbc, BatchArrivesByteForByte) {
  TdsTestServer server(account("sa", "pw"));
  OdbcConnection connection({server.address(), "master", "sa", "pw"}, 15);
  const std::vector<std::string> batches = {
      "BEGIN TRANSACTION \r\nCREATE TABLE dbo.顧客 \r\n\t(\r\n\t顧客ID int  NOT NULL  IDENTITY (1,1) \r\n\t) ON "
      "[PRIMARY] \r\nCOMMIT ",
      "\tleading tab, trailing spaces   ",
      "𠮷野家 ｶﾅ ～①",  // beyond the BMP, half-width kana, code page 932 extras
      "x\r\n",
  };
  for (const auto& batch : batches) connection.execute(batch);
  // Nothing added, nothing split: no terminator, no trailing line break, no GO splitting.
  EXPECT_EQ(server.batches(), batches);
}

TEST(ServerOdbc, RejectedBatchCarriesTheFirstServerMessageAndTheConnectionGoesOn) {
  TdsTestServer server(account("sa", "pw"));
  OdbcConnection connection({server.address(), "master", "sa", "pw"}, 15);
  const std::string script = "BEGIN TRANSACTION CREATE TABLE dbo.T (a int) ALTER TABLE dbo.T ADD CONSTRAINT PK_T COMMIT ";
  connection.execute(script);
  const std::string exists = "[FreeTDS][SQL Server]There is already an object named 'T' in the database.";
  // The server also reports the key's failure; the driver manager ends the statement at the first.
  EXPECT_EQ(errorOf([&] { connection.execute(script); }), exists);
  // An error after a statement that counted rows is found only by walking on to the next result.
  EXPECT_EQ(errorOf([&] { connection.execute("INSERT INTO dbo.T VALUES (1) CREATE TABLE dbo.T (a int)"); }), exists);
  EXPECT_NO_THROW(connection.execute("INSERT INTO dbo.T VALUES (1)"));
  EXPECT_EQ(server.batches().size(), 4u);
}

TEST(ServerOdbc, ConnectFailuresAreReadable) {
  TdsTestServer server(account("sa", "right", "販売"));
  const std::string closedPort = "127.0.0.1," + std::to_string(TdsTestServer().port());  // gone at the semicolon
  const struct {
    SqlServerLogin login;
    std::string reason;
  } cases[] = {
      {{server.address(), "販売", "sa", "wrong"}, "Login failed for user 'sa'."},
      {{server.address(), "販売2", "sa", "right"}, "Cannot open database \"販売2\" requested by the login."},
      {{closedPort, "", "sa", "x"}, "Unable to connect"},
  };
  for (const auto& c : cases) {
    const std::string message = connectError(c.login);
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  }
  EXPECT_EQ(server.batches().size(), 0u);
}

TEST(ServerOdbc, SilentServerTimesOutButSlowBatchesDoNot) {
  auto silentConfig = account("sa", "pw");
  silentConfig.mode = TdsTestServer::Mode::silent;
  TdsTestServer silent(silentConfig);
  const std::string timedOut = connectError({silent.address(), "", "sa", "pw"}, 1);
  EXPECT_NE(timedOut.find("Timeout expired"), std::string::npos) << timedOut;
  EXPECT_EQ(silent.connectionCount(), 1u);

  // The login limit must not stay on as a limit for batches.
  auto slowConfig = account("sa", "pw");
  slowConfig.batchDelay = std::chrono::milliseconds(2500);
  TdsTestServer slow(slowConfig);
  OdbcConnection connection({slow.address(), "", "sa", "pw"}, 1);
  EXPECT_NO_THROW(connection.execute("CREATE TABLE dbo.Slow (a int)"));
  EXPECT_EQ(slow.tables(), std::set<std::string>{"Slow"});
}

TEST(ServerOdbc, BatchOnAServerThatStopsAnsweringTimesOut) {
  auto muteConfig = account("sa", "pw");
  muteConfig.mode = TdsTestServer::Mode::mute;
  TdsTestServer mute(muteConfig);
  OdbcConnection connection({mute.address(), "", "sa", "pw"}, 15, 1);
  const std::string first = errorOf([&] { connection.execute("CREATE TABLE dbo.A (a int)"); });
  EXPECT_NE(first.find("1 秒以内に応答しませんでした"), std::string::npos) << first;
  // The connection is then of no use, but says so instead of waiting.
  const std::string second = errorOf([&] { connection.query("SELECT 1"); });
  EXPECT_NE(second, "(no error)");
  EXPECT_EQ(mute.batches().front(), "CREATE TABLE dbo.A (a int)");
}

// Separators, braces and values that would end a braced value all log in exactly.
TEST(ServerOdbc, ValuesWithSeparatorsAndBracesArriveExactly) {
  const std::vector<std::string> values = {"a;b", "k=v;PWD=x", "{x", "x{", "a}b", "a}}b", "x}", "x}}", "}", "{x}",
                                           " spaced ", "パスワード", "ﾊﾟｽ}", "", "a;{b}=c", "𠮷", "a};b", "};",
                                           "}DRIVER={x};", "a}};PWD={b", "};UID=other;", ";x", "#x", "[x]"};
  for (const auto& value : values) {
    // An empty user name would make FreeTDS try a Kerberos login; that case is refused elsewhere.
    const std::string user = "u" + value;
    // A database name cannot begin or end with a blank (refused below).
    const std::string database = value == " spaced " ? "spaced" : value;
    TdsTestServer server(account(user, value, database));
    EXPECT_EQ(connectError({server.address(), database, user, value}), "(no error)") << "value: " << value;
    ASSERT_EQ(server.logins().size(), 1u) << value;
    const auto login = server.logins().front();
    EXPECT_EQ(login.user, user);
    EXPECT_EQ(login.password, value);
    EXPECT_EQ(login.database, database);
  }
}

TEST(ServerOdbc, ValuesThatCannotBePassedAreRefusedBeforeConnecting) {
  TdsTestServer server(account("sa", "pw"));
  const std::string address = server.address();
  const struct {
    SqlServerLogin login;
    std::string field;
  } cases[] = {
      {{"127.0.0.1};Port=1", "master", "sa", "pw"}, "サーバ名"},
      {{"127.0.0.1\nDriver = x," + std::to_string(server.port()), "master", "sa", "pw"}, "サーバ名"},
      {{"[other]", "master", "sa", "pw"}, "サーバ名"},
      {{"host=x", "master", "sa", "pw"}, "サーバ名"},
      {{address, "master", "sa", std::string("p\0w", 3)}, "パスワード"},
      {{address, std::string("d\0b", 3), "sa", "pw"}, "DB名"},
      {{address, "db\nDriver = x", "sa", "pw"}, "DB名"},
      {{address, " db", "sa", "pw"}, "DB名"},
      {{address, "db ", "sa", "pw"}, "DB名"},
      {{address, "master", std::string("s\0a", 3), "pw"}, "ユーザ名"},
      {{address, "master", "", "pw"}, "ユーザ名"},
  };
  for (const auto& c : cases) {
    const std::string message = connectError(c.login);
    EXPECT_NE(message.find(c.field), std::string::npos) << message;
    EXPECT_NE(message.find("サーバへ渡せません"), std::string::npos) << message;
  }
  EXPECT_EQ(server.connectionCount(), 0u);
}

// A library that leaves a marker file when it is loaded, named in every way a connection string
// could name a driver, through each of the four values.
TEST(ServerOdbc, NoValueMakesTheDriverManagerLoadALibrary) {
  TempDir dir;
  const std::string marker = dir.file("loaded");
  ASSERT_EQ(::setenv("MORVANE_MARKER_FILE", marker.c_str(), 1), 0);
  const std::string library = MORVANE_MARKER_LIBRARY;
  const std::vector<std::string> attacks = {
      "}DRIVER={" + library + "}",  "};DRIVER={" + library + "};", ";DRIVER=" + library + ";",
      "x}};DRIVER={" + library + "}", "}DSN=x;DRIVER={" + library + "}", "{" + library + "}",
  };
  for (const auto& attack : attacks) {
    TdsTestServer server(account("u" + attack, attack, attack));
    const std::string address = server.address();
    EXPECT_EQ(connectError({address, attack, "u" + attack, attack}), "(no error)") << attack;
    ASSERT_EQ(server.logins().size(), 1u) << attack;
    EXPECT_EQ(server.logins()[0].password, attack);
    EXPECT_NE(connectError({address + attack, "", "sa", "pw"}).find("サーバ名"), std::string::npos) << attack;
    EXPECT_NE(connectError({attack + "," + std::to_string(server.port()), "", "sa", "pw"}).find("サーバ名"),
              std::string::npos)
        << attack;
  }
  EXPECT_FALSE(std::filesystem::exists(marker));
  // The marker works: loaded on purpose, it appears.
  void* handle = ::dlopen(library.c_str(), RTLD_NOW);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(std::filesystem::exists(marker));
  ::dlclose(handle);
  ::unsetenv("MORVANE_MARKER_FILE");
}

TEST(ServerOdbc, ServerBoxTakesHostPortAndInstance) {
  TdsTestServer server(account("sa", "pw"));
  const std::string port = std::to_string(server.port());
  for (const std::string& box : {"127.0.0.1," + port, " 127.0.0.1 , " + port + " ", "127.0.0.1\\SQLEXPRESS," + port}) {
    EXPECT_EQ(connectError({box, "", "sa", "pw"}), "(no error)") << box;
  }
  const auto logins = server.logins();
  ASSERT_EQ(logins.size(), 3u);
  EXPECT_EQ(logins[2].instance, "SQLEXPRESS");
  EXPECT_EQ(logins[2].tdsVersion, 0x74000004u);

  for (const char* box : {"127.0.0.1,", "127.0.0.1,0", "127.0.0.1,65536", "127.0.0.1,14x3", "127.0.0.1,-1"}) {
    const std::string message = errorOf([&] { checkSqlServerLogin({box, "", "sa", "pw"}); });
    EXPECT_NE(message.find("ポート"), std::string::npos) << box << ": " << message;
  }
}

TEST(ServerOdbc, TextThatIsNotUtf8IsRefused) {
  TdsTestServer server(account("sa", "pw"));
  OdbcConnection connection({server.address(), "", "sa", "pw"}, 15);
  for (const std::string bad : {"\xFF", "a\xE3\x81", "\xC0\xAF", "\xED\xA0\x80"}) {
    EXPECT_NE(errorOf([&] { connection.execute(bad); }).find("UTF-8 として正しくない"), std::string::npos);
  }
  EXPECT_TRUE(server.batches().empty());
}

}  // namespace
}  // namespace morvane
