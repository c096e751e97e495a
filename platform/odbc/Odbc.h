#pragma once
// Data access to SQL Server: unixODBC with the FreeTDS driver, through the wide-character API
// only (FreeTDS garbles non-ASCII names, users and passwords that come through the narrow one).
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

// The connection string that hands the four values to the FreeTDS driver exactly as given.
// The server takes "host", "host,port" or "host\instance" (spaces around host and port are
// ignored). Every value goes in braces; a value that even braces cannot carry unchanged (one
// holding "};" or NUL), an empty user name and a port that is not a number from 1 to 65535
// throw OdbcError naming the field.
std::string freeTdsConnectionString(const SqlServerLogin& login);

// The Driver value for FreeTDS: "FreeTDS" when the driver manager has it registered under that
// name, else the path of the installed driver library. Throws OdbcError when neither exists.
std::string freeTdsDriver();

// One open connection through unixODBC's wide-character API.
class OdbcConnection {
 public:
  // Connects with a complete connection string (UTF-8). The login, including a server that
  // accepts the connection but never answers, gives up after loginTimeoutSeconds. Throws
  // OdbcError.
  OdbcConnection(const std::string& connectionString, int loginTimeoutSeconds);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Runs the text unchanged as one batch, reading every result it produces; no time limit.
  // SQL_NO_DATA (a batch that returns neither rows nor counts) is success. Throws OdbcError with
  // the server's messages when any statement of the batch failed.
  void execute(const std::string& sql);

  // One row of a result set: every value as text, whatever type the server sent; NULL is absent.
  using Row = std::vector<std::optional<std::string>>;
  // Runs the text unchanged as one batch and returns the rows of its first result set (none when
  // it has none); no time limit, as execute. Throws OdbcError when a statement fails or the
  // connection breaks while the rows arrive.
  std::vector<Row> query(const std::string& sql);

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
};

}  // namespace morvane::platform
