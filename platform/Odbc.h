#pragma once
#include <memory>
#include <stdexcept>
#include <string>

namespace morvane::platform {

// A failure reported by the ODBC driver manager or the driver; the message holds every
// diagnostic record.
class OdbcError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One open connection through unixODBC's wide-character API.
class OdbcConnection {
 public:
  // Connects with a complete connection string (UTF-8). Throws OdbcError.
  OdbcConnection(const std::string& connectionString, int loginTimeoutSeconds);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Runs the text as one batch. Throws OdbcError with the server's messages.
  void execute(const std::string& sql);

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
};

}  // namespace morvane::platform
