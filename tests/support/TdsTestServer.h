#pragma once
// A SQL Server stand-in for the tests: enough of the server's side of TDS 7.4 for the FreeTDS
// ODBC driver to log in and run batches. It listens on 127.0.0.1 on a free port (address() gives
// "127.0.0.1,PORT") for as long as the object lives and records what the client sent. A wrong user
// or password gets error 18456, a second CREATE TABLE of a name error 2714, an ALTER TABLE or DROP
// TABLE of a table it does not hold error 4902. Given a catalog, it
// answers the schema queries (recognised by the views they name) with result sets, and
// acknowledges a cancel of an answer under way; a query of INFORMATION_SCHEMA.TABLES alone gets
// the names of the tables it holds.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace morvane::test {

class TdsTestServer {
 public:
  // silent: accepts connections, reads, never answers (login timeouts). mute: answers the login,
  // then never answers a batch nor its cancel (query timeouts).
  enum class Mode { answer, silent, mute };

  // One row of the columns query; an absent value is sent as NULL.
  struct CatalogColumn {
    std::string table, column;
    int ordinal = 0;
    std::string dataType;
    std::optional<int> length, precision, scale;
    std::string nullable = "YES";  // IS_NULLABLE
    int identity = 0;              // IS_IDENTITY
    std::optional<int> seed, increment;
  };
  // One key column of the keys-and-indexes query; by default of the primary key PK_<table>.
  struct CatalogKey {
    std::string table, column;
    int ordinal = 0;
    std::string index{};  // empty: PK_<table>
    bool primary = true, uniqueConstraint = false, unique = true;
  };
  // One row of the defaults, foreign-keys or descriptions query, values as text in the query's
  // column order; nothing is NULL.
  using CatalogRow = std::vector<std::optional<std::string>>;
  // The live schema, sent row for row in the order given.
  struct Catalog {
    std::vector<CatalogColumn> columns;
    std::vector<CatalogKey> keys;
    std::vector<CatalogRow> defaults{}, foreignKeys{}, descriptions{};
    // Integer columns as nvarchar text instead of int, as some servers and proxies send them.
    bool integersAsText = false;
    // Sends the columns query's metadata and first row, then closes the connection mid-message.
    bool hangUpInColumns = false;
    // The columns query: its last row sent again and again until the client cancels.
    bool endlessColumns = false;
    // The columns query answered with a count and no result set.
    bool noResultSet = false;
  };

  struct Config {
    std::string user = "sa";
    std::string password = "secret";
    // When not empty, a login asking for another database is refused with error 4060.
    std::string database;
    Mode mode = Mode::answer;
    // How long each SQL batch waits before its answer.
    std::chrono::milliseconds batchDelay{0};
    // When set, the schema queries get result sets and its tables exist for CREATE TABLE.
    std::optional<Catalog> catalog{};
    // When set, the connection is closed, unanswered, at the batch after this many (a lost server).
    std::optional<std::size_t> hangUpAfterBatches{};
  };

  // What one LOGIN7 carried, password de-obfuscated.
  struct Login {
    std::string user, password, database;
    std::uint32_t tdsVersion = 0;  // as sent, e.g. 0x74000004 for 7.4
    std::string instance;          // from the PRELOGIN before it
  };

  explicit TdsTestServer(Config config);
  TdsTestServer() : TdsTestServer(Config{}) {}
  ~TdsTestServer();
  TdsTestServer(const TdsTestServer&) = delete;
  TdsTestServer& operator=(const TdsTestServer&) = delete;

  int port() const { return port_; }
  // The text for a server box: "127.0.0.1,PORT".
  std::string address() const;

  // Each SQL batch's text, without the ALL_HEADERS block, decoded from UTF-16LE.
  std::vector<std::string> batches() const;
  std::vector<Login> logins() const;
  std::size_t connectionCount() const;
  // Waits until that many connections came, at most the time given; false when they did not.
  bool waitForConnections(std::size_t count, std::chrono::seconds limit) const;
  // Names given to CREATE TABLE by batches that succeeded, schema prefix removed, and the
  // catalog's tables.
  std::set<std::string> tables() const;

 private:
  void acceptLoop();
  void serve(int fd);
  std::string answerBatch(const std::string& sql);

  Config config_;
  int listenFd_ = -1;
  int port_ = 0;
  std::thread acceptor_;

  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  mutable std::condition_variable connected_;
  bool stopping_ = false;
  std::list<std::thread> sessions_;
  std::vector<int> sessionFds_;
  std::vector<std::string> batches_;
  std::vector<Login> logins_;
  std::set<std::string> tables_;
  std::size_t connections_ = 0;
};

}  // namespace morvane::test
