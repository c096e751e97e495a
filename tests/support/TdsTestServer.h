#pragma once
// A SQL Server stand-in: enough of TDS 7.4 for the FreeTDS ODBC driver, on 127.0.0.1 and a free
// port, recording what came and answering with the errors a real server gives (see answerBatch).
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
  // silent: never answers (login timeouts); mute: answers the login only (query timeouts).
  enum class Mode { answer, silent, mute };

  // An absent value is sent as NULL.
  struct CatalogColumn {
    std::string table, column;
    int ordinal = 0;
    std::string dataType;
    std::optional<int> length, precision, scale;
    std::string nullable = "YES";
    int identity = 0;
    std::optional<int> seed{}, increment{};
  };
  // By default a column of the primary key PK_<table>.
  struct CatalogKey {
    std::string table, column;
    int ordinal = 0;
    std::string index{};
    bool primary = true, uniqueConstraint = false, unique = true;
  };
  struct Catalog {
    std::vector<CatalogColumn> columns;
    std::vector<CatalogKey> keys;
    // Rows of the defaults, foreign-keys and descriptions queries, in their column order.
    std::vector<std::vector<std::optional<std::string>>> defaults{}, foreignKeys{}, descriptions{};
    bool hangUpInColumns = false;  // the columns answer's first row, then the connection closed
  };

  struct Config {
    std::string user = "sa";
    std::string password = "secret";
    std::string database;  // when not empty, the only one a login may ask for
    Mode mode = Mode::answer;
    std::chrono::milliseconds batchDelay{0};  // before each batch's answer
    std::optional<Catalog> catalog{};
    std::optional<std::size_t> hangUpAfterBatches{};  // then the connection closed (a lost server)
  };

  struct Login {
    std::string user, password, database;
    std::uint32_t tdsVersion = 0;
  };

  explicit TdsTestServer(Config config);
  TdsTestServer() : TdsTestServer(Config{}) {}
  ~TdsTestServer();

  int port() const { return port_; }
  std::string address() const { return "127.0.0.1," + std::to_string(port_); }
  std::vector<std::string> batches() const { return locked(batches_); }
  std::vector<Login> logins() const { return locked(logins_); }
  std::size_t connectionCount() const { return locked(connections_); }
  bool waitForConnections(std::size_t count, std::chrono::seconds limit) const;
  // The catalog's tables and those made since, without their schema.
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
