#include "platform/Odbc.h"

namespace morvane::platform {

// Placeholder until the ODBC adapter lands.
struct OdbcConnection::Handles {};

OdbcConnection::OdbcConnection(const std::string&, int) { throw OdbcError("ODBC is not available yet"); }
OdbcConnection::~OdbcConnection() = default;
void OdbcConnection::execute(const std::string&) { throw OdbcError("ODBC is not available yet"); }

}  // namespace morvane::platform
