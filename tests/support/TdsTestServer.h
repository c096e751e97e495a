#pragma once
// A SQL Server stand-in for the tests: enough of the server's side of TDS 7.x for the FreeTDS
// ODBC driver to log in and run batches. It listens on 127.0.0.1 on a free port for as long as
// the object lives and records what the client sent.
//
//   morvane::test::TdsTestServer::Config config;  // user "sa", password "secret", any database
//   config.password = "pw";
//   morvane::test::TdsTestServer server(config);
//   clsSQLServerDB db;
//   db.fnOpenDB(server.address(), "master", "sa", "pw");   // address() is "127.0.0.1,PORT"
//   ... server.batches() holds every SQL batch, decoded to UTF-8, in arrival order.
//
// A wrong user or password gets error 18456, a second CREATE TABLE of a name error 2714, and
// Mode::silent accepts connections but never answers.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace morvane::test {

class TdsTestServer {
 public:
  enum class Mode {
    answer,  // a working server
    silent,  // accepts connections, reads, never answers (login timeouts)
  };

  struct Config {
    std::string user = "sa";
    std::string password = "secret";
    // When not empty, a login asking for another database is refused with error 4060.
    std::string database;
    Mode mode = Mode::answer;
    // How long each SQL batch waits before its answer.
    std::chrono::milliseconds batchDelay{0};
    // Also answer SQL Server Browser requests on UDP 127.0.0.1:1434 with this server's port, so
    // "127.0.0.1\\INSTANCE" finds it. The port is fixed: see browserListening().
    bool browser = false;
  };

  // What one LOGIN7 carried, password de-obfuscated.
  struct Login {
    std::string user;
    std::string password;
    std::string database;
    std::uint32_t tdsVersion = 0;  // as sent, e.g. 0x74000004 for 7.4
    std::string instance;          // from the PRELOGIN before it
  };

  explicit TdsTestServer(Config config);
  TdsTestServer() : TdsTestServer(Config{}) {}
  ~TdsTestServer();
  TdsTestServer(const TdsTestServer&) = delete;
  TdsTestServer& operator=(const TdsTestServer&) = delete;

  int port() const { return port_; }
  // False when the browser was asked for but UDP port 1434 was taken.
  bool browserListening() const { return browserFd_ >= 0; }
  // The text for a server box: "127.0.0.1,PORT".
  std::string address() const;

  // Each SQL batch's text as received (UTF-16LE, without the ALL_HEADERS block).
  std::vector<std::string> rawBatches() const;
  // The same, decoded to UTF-8.
  std::vector<std::string> batches() const;
  std::vector<Login> logins() const;
  std::size_t connectionCount() const;
  // Names given to CREATE TABLE by batches that succeeded, schema prefix removed.
  std::set<std::string> tables() const;

 private:
  void acceptLoop();
  void answerBrowser();
  void serve(int fd);

  Config config_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  int browserFd_ = -1;
  int port_ = 0;
  std::thread acceptor_;

  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::list<std::thread> sessions_;
  std::vector<int> sessionFds_;
  std::vector<std::string> rawBatches_;
  std::vector<Login> logins_;
  std::set<std::string> tables_;
  std::size_t connections_ = 0;
};

// UTF-16LE bytes to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(const std::string& bytes);

}  // namespace morvane::test
