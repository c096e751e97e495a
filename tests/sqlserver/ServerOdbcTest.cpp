// The ODBC adapter against the TDS test server, through unixODBC and the real FreeTDS driver.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Odbc.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/tds/TdsMessages.h"

namespace morvane {
namespace {

using platform::freeTdsConnectionString;
using platform::OdbcConnection;
using platform::OdbcError;
using platform::SqlServerLogin;
using test::TdsTestServer;

TdsTestServer::Config account(std::string user, std::string password, std::string database = "") {
  TdsTestServer::Config config;
  config.user = std::move(user);
  config.password = std::move(password);
  config.database = std::move(database);
  return config;
}

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const OdbcError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(ServerOdbc, BatchArrivesByteForByte) {
  TdsTestServer server(account("sa", "pw"));
  OdbcConnection connection(freeTdsConnectionString({server.address(), "master", "sa", "pw"}), 15);
  const std::vector<std::string> batches = {
      "BEGIN TRANSACTION \r\nCREATE TABLE dbo.顧客 \r\n\t(\r\n\t顧客ID int  NOT NULL  IDENTITY (1,1) \r\n\t) ON "
      "[PRIMARY] \r\nCOMMIT ",
      "\tleading tab, trailing spaces   ",
      "𠮷野家 ｶﾅ ～①",  // beyond the BMP, half-width kana, code page 932 extras
      "x\r\n",
  };
  for (const auto& batch : batches) connection.execute(batch);

  EXPECT_EQ(server.batches(), batches);
  // The wire form is UTF-16LE exactly: no terminator, no trailing line break, no GO splitting.
  const auto raw = server.rawBatches();
  ASSERT_EQ(raw.size(), batches.size());
  for (std::size_t i = 0; i < batches.size(); ++i) EXPECT_EQ(raw[i], test::tds::utf16le(batches[i]));
}

TEST(ServerOdbc, RejectedBatchCarriesTheServerMessageAndTheConnectionGoesOn) {
  TdsTestServer server(account("sa", "pw"));
  OdbcConnection connection(freeTdsConnectionString({server.address(), "master", "sa", "pw"}), 15);
  const std::string script =
      "BEGIN TRANSACTION CREATE TABLE dbo.T (a int) ALTER TABLE dbo.T ADD CONSTRAINT PK_T COMMIT ";
  connection.execute(script);
  // The driver manager ends the statement at the first error, so the messages of the batch's
  // later statements never reach the caller.
  EXPECT_EQ(errorOf([&] { connection.execute(script); }),
            "[FreeTDS][SQL Server]There is already an object named 'T' in the database.");
  EXPECT_NO_THROW(connection.execute("CREATE TABLE dbo.U (a int)"));
  EXPECT_EQ(server.batches().size(), 3u);
}

TEST(ServerOdbc, ErrorAfterACountedStatementIsFound) {
  TdsTestServer server(account("sa", "pw"));
  OdbcConnection connection(freeTdsConnectionString({server.address(), "master", "sa", "pw"}), 15);
  connection.execute("CREATE TABLE dbo.T (a int)");
  EXPECT_EQ(errorOf([&] { connection.execute("INSERT INTO dbo.T VALUES (1) CREATE TABLE dbo.T (a int)"); }),
            "[FreeTDS][SQL Server]There is already an object named 'T' in the database.");
  EXPECT_NO_THROW(connection.execute("INSERT INTO dbo.T VALUES (1)"));
}

TEST(ServerOdbc, LoginFailuresAreReadable) {
  TdsTestServer server(account("sa", "right", "販売"));
  const std::string wrongPassword = errorOf([&] {
    OdbcConnection(freeTdsConnectionString({server.address(), "販売", "sa", "wrong"}), 15);
  });
  EXPECT_NE(wrongPassword.find("Login failed for user 'sa'."), std::string::npos) << wrongPassword;

  const std::string wrongDatabase = errorOf([&] {
    OdbcConnection(freeTdsConnectionString({server.address(), "販売2", "sa", "right"}), 15);
  });
  EXPECT_NE(wrongDatabase.find("Cannot open database \"販売2\" requested by the login."), std::string::npos)
      << wrongDatabase;
  EXPECT_EQ(server.batches().size(), 0u);
}

TEST(ServerOdbc, ClosedPortFails) {
  int closedPort = 0;
  {
    TdsTestServer gone;
    closedPort = gone.port();
  }
  const std::string closed = errorOf([&] {
    OdbcConnection(freeTdsConnectionString({"127.0.0.1," + std::to_string(closedPort), "", "sa", "x"}), 15);
  });
  EXPECT_NE(closed.find("Unable to connect"), std::string::npos) << closed;
}

TEST(ServerOdbc, SilentServerTimesOutButSlowBatchesDoNot) {
  auto silentConfig = account("sa", "pw");
  silentConfig.mode = TdsTestServer::Mode::silent;
  TdsTestServer silent(silentConfig);
  const std::string timedOut = errorOf([&] {
    OdbcConnection(freeTdsConnectionString({silent.address(), "", "sa", "pw"}), 1);
  });
  EXPECT_NE(timedOut.find("Timeout expired"), std::string::npos) << timedOut;
  EXPECT_EQ(silent.connectionCount(), 1u);

  // The login limit must not stay on as a limit for batches.
  auto slowConfig = account("sa", "pw");
  slowConfig.batchDelay = std::chrono::milliseconds(2500);
  TdsTestServer slow(slowConfig);
  OdbcConnection connection(freeTdsConnectionString({slow.address(), "", "sa", "pw"}), 1);
  EXPECT_NO_THROW(connection.execute("CREATE TABLE dbo.Slow (a int)"));
  EXPECT_EQ(slow.tables(), std::set<std::string>{"Slow"});
}

TEST(ServerOdbc, ValuesWithSeparatorsAndBracesArriveExactly) {
  const std::vector<std::string> values = {"a;b", "k=v;PWD=x", "{x",         "x{",   "a}b", "a}}b",    "x}", "x}}", "}",
                                           "{x}", " spaced ",  "パスワード", "ﾊﾟｽ}", "",    "a;{b}=c", "𠮷"};
  for (const auto& value : values) {
    // An empty user name would make FreeTDS try a Kerberos login; that case is refused elsewhere.
    const std::string user = "u" + value;
    TdsTestServer server(account(user, value, value));
    EXPECT_EQ(errorOf([&] {
                OdbcConnection(freeTdsConnectionString({server.address(), value, user, value}), 15);
              }),
              "(no error)")
        << "value: " << value;
    ASSERT_EQ(server.logins().size(), 1u) << value;
    const auto login = server.logins().front();
    EXPECT_EQ(login.user, user);
    EXPECT_EQ(login.password, value);
    EXPECT_EQ(login.database, value);
  }
}

TEST(ServerOdbc, ValuesBracesCannotCarryAreRefusedBeforeConnecting) {
  TdsTestServer server(account("sa", "pw"));
  const struct {
    SqlServerLogin login;
    std::string field;
  } cases[] = {
      {{server.address(), "master", "sa", "a};b"}, "password"},
      {{server.address(), "master", "sa};", "pw"}, "user name"},
      {{server.address(), "db};x", "sa", "pw"}, "database name"},
      {{"host};Port=1", "master", "sa", "pw"}, "server name"},
      {{server.address(), "master", "sa", std::string("p\0w", 3)}, "password"},
      {{server.address(), "master", "", "pw"}, "user name"},
  };
  for (const auto& c : cases) {
    const std::string message = errorOf([&] { freeTdsConnectionString(c.login); });
    EXPECT_NE(message.find("The " + c.field + " cannot be passed to the server"), std::string::npos) << message;
  }
  EXPECT_EQ(server.connectionCount(), 0u);
}

TEST(ServerOdbc, ServerBoxTakesHostPortAndInstance) {
  TdsTestServer server(account("sa", "pw"));
  const std::string port = std::to_string(server.port());
  for (const std::string& box : {"127.0.0.1," + port, " 127.0.0.1 , " + port + " ", "127.0.0.1\\SQLEXPRESS," + port}) {
    EXPECT_NO_THROW(OdbcConnection(freeTdsConnectionString({box, "", "sa", "pw"}), 15)) << box;
  }
  const auto logins = server.logins();
  ASSERT_EQ(logins.size(), 3u);
  EXPECT_EQ(logins[2].instance, "SQLEXPRESS");
  EXPECT_EQ(logins[2].tdsVersion, 0x74000004u);

  for (const char* box : {"127.0.0.1,", "127.0.0.1,0", "127.0.0.1,65536", "127.0.0.1,14x3", "127.0.0.1,-1"}) {
    const std::string message = errorOf([&] { freeTdsConnectionString({box, "", "sa", "pw"}); });
    EXPECT_NE(message.find("port"), std::string::npos) << box << ": " << message;
  }
}

TEST(ServerOdbc, InstanceIsFoundThroughTheBrowserService) {
  auto config = account("sa", "pw");
  config.browser = true;
  TdsTestServer server(config);
  if (!server.browserListening()) GTEST_SKIP() << "UDP port 1434 is taken";
  EXPECT_NO_THROW(OdbcConnection(freeTdsConnectionString({"127.0.0.1\\INST1", "", "sa", "pw"}), 15));
  ASSERT_EQ(server.logins().size(), 1u);
  EXPECT_EQ(server.logins()[0].instance, "INST1");
}

TEST(ServerOdbc, TextThatIsNotUtf8IsRefused) {
  TdsTestServer server(account("sa", "pw"));
  OdbcConnection connection(freeTdsConnectionString({server.address(), "", "sa", "pw"}), 15);
  for (const std::string bad : {"\xFF", "a\xE3\x81", "\xC0\xAF", "\xED\xA0\x80"}) {
    EXPECT_NE(errorOf([&] { connection.execute(bad); }).find("not valid UTF-8"), std::string::npos);
  }
  EXPECT_TRUE(server.batches().empty());
}

}  // namespace
}  // namespace morvane
