#pragma once
// A SQL Server stand-in for the tests: enough of TDS 7.4 for the FreeTDS ODBC driver to log in and
// run batches, on 127.0.0.1 and a free port while it lives, recording what came. A wrong login gets
// error 18456, another database 4060, a second CREATE TABLE 2714, an ALTER or DROP TABLE of a table
// it does not hold 4902; the schema queries get the catalog, the table-names query the tables held.
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
  // silent: reads, never answers (login timeouts). mute: answers the login, then never a batch
  // nor its cancel (query timeouts).
  enum class Mode { answer, silent, mute };

  // One row of the columns query; an absent value is sent as NULL.
  struct CatalogColumn {
    std::string table, column;
    int ordinal = 0;
    std::string dataType;
    std::optional<int> length, precision, scale;
    std::string nullable = "YES";
    int identity = 0;
    std::optional<int> seed, increment;
  };
  // One key column of the keys-and-indexes query; by default of the primary key PK_<table>.
  struct CatalogKey {
    std::string table, column;
    int ordinal = 0;
    std::string index{};
    bool primary = true, uniqueConstraint = false, unique = true;
  };
  // One row of the defaults, foreign-keys or descriptions query, in the query's column order.
  using CatalogRow = std::vector<std::optional<std::string>>;
  struct Catalog {
    std::vector<CatalogColumn> columns;
    std::vector<CatalogKey> keys;
    std::vector<CatalogRow> defaults{}, foreignKeys{}, descriptions{};
    bool hangUpInColumns = false;     // the columns answer's first row, then the connection closed
    bool noResultSet = false;         // the columns query answered with a count and no result set
    std::size_t repeatLastColumn = 0;  // the columns answer's last row sent this many times more
  };

  struct Config {
    std::string user = "sa";
    std::string password = "secret";
    std::string database;  // when not empty, the only one a login may ask for
    Mode mode = Mode::answer;
    std::chrono::milliseconds batchDelay{0};  // before each batch's answer
    std::optional<Catalog> catalog{};
    // The connection closed, unanswered, at the batch after this many (a lost server).
    std::optional<std::size_t> hangUpAfterBatches{};
  };

  // What one LOGIN7 carried, and the instance its PRELOGIN named.
  struct Login {
    std::string user, password, database;
    std::uint32_t tdsVersion = 0;
    std::string instance;
  };

  explicit TdsTestServer(Config config);
  TdsTestServer() : TdsTestServer(Config{}) {}
  ~TdsTestServer();
  TdsTestServer(const TdsTestServer&) = delete;
  TdsTestServer& operator=(const TdsTestServer&) = delete;

  int port() const { return port_; }
  std::string address() const { return "127.0.0.1," + std::to_string(port_); }
  // Each SQL batch's text as sent.
  std::vector<std::string> batches() const { return locked(batches_); }
  std::vector<Login> logins() const { return locked(logins_); }
  std::size_t connectionCount() const { return locked(connections_); }
  // False when that many connections did not come within the limit.
  bool waitForConnections(std::size_t count, std::chrono::seconds limit) const;
  // The catalog's tables and those CREATE TABLE made, without their schema.
  std::set<std::string> tables() const { return locked(tables_); }

 private:
  template <class T>
  T locked(const T& value) const {
    std::lock_guard lock(mutex_);
    return value;
  }
  void serve(int fd);
  std::string answerBatch(const std::string& sql, bool& hangUp);

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
