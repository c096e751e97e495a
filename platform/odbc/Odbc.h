#pragma once
// Data access to SQL Server: unixODBC with the FreeTDS driver, through the wide-character API
// only (FreeTDS garbles non-ASCII names, users and passwords that come through the narrow one).
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvane::platform {

// A failure reported by the ODBC driver manager or the driver; the message holds every
// diagnostic record, one a line, or says which value could not be passed.
class OdbcError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where and as whom to log in to a SQL Server.
struct SqlServerLogin {
  std::string server;  // host, host,port or host\instance
  std::string database;
  std::string user;
  std::string password;
};

// Checks the four values before anything is sent: the server takes "host", "host,port" or
// "host\\instance" (spaces around host and port are ignored) and holds no character that could
// end or add a setting; the database name holds no control character and no blank at either
// end; no value holds NUL; the user name is not empty. Throws OdbcError naming the field. No
// value is ever put in a connection string, so user and password arrive exactly as given.
void checkSqlServerLogin(const SqlServerLogin& login);

// The Driver value for FreeTDS: "FreeTDS" when the driver manager has it registered under that
// name, else the path of the installed driver library. Throws OdbcError when neither exists.
std::string freeTdsDriver();

// How much of a query's answer is kept: rows, and bytes of text in all values together.
struct QueryLimits {
  std::size_t rows = SIZE_MAX;
  std::size_t bytes = SIZE_MAX;
};

// One open connection through unixODBC's wide-character API.
class OdbcConnection {
 public:
  // Logs in to the server through a private data source of its own (nothing parsed from the
  // values). The login, including a server that accepts the connection but never answers, gives
  // up after loginTimeoutSeconds; each batch after queryTimeoutSeconds (0: no limit). Throws
  // OdbcError.
  OdbcConnection(const SqlServerLogin& login, int loginTimeoutSeconds, int queryTimeoutSeconds = 0);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Runs the text unchanged as one batch, reading every result it produces, within the query
  // timeout.
  // SQL_NO_DATA (a batch that returns neither rows nor counts) is success. Throws OdbcError with
  // the server's messages when any statement of the batch failed.
  void execute(const std::string& sql);

  // One row of a result set: every value as text, whatever type the server sent; NULL is absent.
  using Row = std::vector<std::optional<std::string>>;
  using Limits = QueryLimits;
  // Runs the text unchanged as one batch and returns the rows of its first result set, within
  // the query timeout, as execute. Throws OdbcError when the batch gives no result set, when a
  // statement fails or the connection breaks while the rows arrive, and when the answer passes
  // the limits (the rest is cancelled, not read into memory).
  std::vector<Row> query(const std::string& sql, const Limits& limits = {});

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
};

}  // namespace morvane::platform
