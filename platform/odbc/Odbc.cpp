#include "platform/odbc/Odbc.h"
#include "platform/text/Utf8.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace morvane::platform {
namespace {

using WideText = std::vector<SQLWCHAR>;

WideText toWide(const std::string& utf8) {
  WideText out;
  out.reserve(utf8.size());
  for (std::string_view rest = utf8; !rest.empty();) {
    char32_t code = 0;
    const std::size_t length = decodeUtf8(rest, code);
    if (length == 0) throw OdbcError("UTF-8 として正しくない文字列です");
    rest.remove_prefix(length);
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<SQLWCHAR>(0xD800 + (code >> 10)));
      out.push_back(static_cast<SQLWCHAR>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<SQLWCHAR>(code));
    }
  }
  return out;
}

std::string toUtf8(const SQLWCHAR* text, std::size_t length) {
  Utf16ToUtf8 out(length);
  for (std::size_t i = 0; i < length; ++i) out.push(static_cast<char16_t>(text[i]));
  return out.take();
}

// Every diagnostic record of the handle, one a line.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string text;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::vector<SQLWCHAR> message(512);
    SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    const std::size_t used =
        std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
    std::string line = toUtf8(message.data(), used);
    if (line.empty()) line = "SQLSTATE " + toUtf8(state, 5);
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

[[noreturn]] void fail(SQLSMALLINT type, SQLHANDLE handle, const std::string& fallback) {
  std::string text = handle ? diagnostics(type, handle) : std::string();
  throw OdbcError(text.empty() ? fallback : text);
}

// An ODBC handle, freed with its owner's end.
class Handle {
 public:
  Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) {
      handle_ = SQL_NULL_HANDLE;
      fail(type == SQL_HANDLE_ENV ? type : (type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC), parent,
           "ODBC ドライバマネージャがハンドルを確保できませんでした");
    }
  }
  ~Handle() {
    if (handle_) SQLFreeHandle(type_, handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  SQLHANDLE get() const { return handle_; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

class Environment {
 public:
  Environment() : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    const SQLRETURN rc =
        SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_ENV, env_.get(), "ODBC ドライバマネージャが ODBC 3 を受け付けませんでした");
  }
  SQLHANDLE get() const { return env_.get(); }

 private:
  Handle env_;
};

bool driverRegistered(const Environment& env, const std::string& name) {
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLWCHAR description[256];
    SQLWCHAR attributes[1024];
    SQLSMALLINT descriptionLength = 0;
    SQLSMALLINT attributesLength = 0;
    const SQLRETURN rc =
        SQLDriversW(env.get(), direction, description, 256, &descriptionLength, attributes, 1024, &attributesLength);
    if (!SQL_SUCCEEDED(rc)) return false;
    direction = SQL_FETCH_NEXT;
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(descriptionLength, 0)), 255);
    if (toUtf8(description, length) == name) return true;
  }
}

// Brace quoting as the FreeTDS driver reads it: the value runs to the first "}" that is followed
// by ";" (or by the end of the string, in which case the brace stays in the value), and "}}" is not
// undoubled. So every braced value is followed by ";", and a value holding "};" cannot be passed.
std::string braced(const std::string& field, const std::string& value) {
  if (value.find("};") != std::string::npos) {
    throw OdbcError(field + "に \"};\" が含まれているため、サーバへ渡せません");
  }
  if (value.find('\0') != std::string::npos) {
    throw OdbcError(field + "に NUL 文字が含まれているため、サーバへ渡せません");
  }
  return "{" + value + "};";
}

}  // namespace

std::string freeTdsDriver() {
  const Environment env;
  if (driverRegistered(env, "FreeTDS")) return "FreeTDS";
  for (const char* path :
       {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so",
        "/usr/lib/odbc/libtdsodbc.so", "/usr/lib64/libtdsodbc.so", "/usr/local/lib/libtdsodbc.so"}) {
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) return path;
  }
  throw OdbcError("FreeTDS の ODBC ドライバがインストールされていません (Debian パッケージ tdsodbc)");
}

std::string freeTdsConnectionString(const SqlServerLogin& login) {
  std::string host = login.server;
  std::string port;
  if (const auto comma = host.rfind(','); comma != std::string::npos) {
    port = host.substr(comma + 1);
    host.erase(comma);
    while (!port.empty() && port.front() == ' ') port.erase(0, 1);
    while (!port.empty() && port.back() == ' ') port.pop_back();
    const bool digits = !port.empty() && port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(port) < 1 || std::stoi(port) > 65535) {
      throw OdbcError("サーバ名のコンマの後のポートは 1 から 65535 までの数値にしてください");
    }
  }
  if (login.user.empty()) {
    // FreeTDS would attempt a Kerberos login instead of a SQL Server one.
    throw OdbcError("ユーザ名が空のため、サーバへ渡せません");
  }
  while (!host.empty() && host.back() == ' ') host.pop_back();
  while (!host.empty() && host.front() == ' ') host.erase(0, 1);
  // SQL Server answers a newer client with its own version, so asking for 7.4 costs nothing;
  // letting FreeTDS guess retries as Sybase (TDS 5.0) after a failed login, which doubles the
  // wait on a silent server and then hangs in the disconnect.
  std::string text =
      "Driver=" + braced("ドライバ", freeTdsDriver()) + "TDS_Version=7.4;Server=" + braced("サーバ名", host);
  if (!port.empty()) text += "Port=" + port + ";";
  text += "Database=" + braced("DB名", login.database) + "UID=" + braced("ユーザ名", login.user) +
          "PWD=" + braced("パスワード", login.password);
  return text;
}

struct OdbcConnection::Handles {
  Environment env;
  Handle dbc{SQL_HANDLE_DBC, env.get()};
  bool connected = false;

  ~Handles() {
    if (connected) SQLDisconnect(dbc.get());
  }
};

OdbcConnection::OdbcConnection(const std::string& connectionString, int loginTimeoutSeconds)
    : handles_(std::make_unique<Handles>()) {
  SQLHANDLE dbc = handles_->dbc.get();
  SQLRETURN rc = SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)), 0);
  if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_DBC, dbc, "ODBC ドライバがログインのタイムアウトを受け付けませんでした");
  WideText text = toWide(connectionString);
  if (text.size() > 32767) throw OdbcError("接続文字列が長すぎます");
  SQLSMALLINT outLength = 0;
  rc = SQLDriverConnectW(dbc, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()), nullptr, 0, &outLength,
                         SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_DBC, dbc, "接続を開けませんでした");
  handles_->connected = true;
}

OdbcConnection::~OdbcConnection() = default;

void OdbcConnection::execute(const std::string& sql) {
  WideText text = toWide(sql);
  const Handle statement(SQL_HANDLE_STMT, handles_->dbc.get());
  std::string errors;
  auto collect = [&] {
    const std::string found = diagnostics(SQL_HANDLE_STMT, statement.get());
    if (found.empty()) return false;
    if (!errors.empty()) errors += '\n';
    errors += found;
    return true;
  };
  SQLRETURN rc = SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size()));
  bool failed = rc == SQL_ERROR || rc == SQL_INVALID_HANDLE;
  if (rc == SQL_ERROR) collect();
  if (rc != SQL_INVALID_HANDLE) {
    // Later statements of the batch report their errors only as the results are walked.
    for (;;) {
      rc = SQLMoreResults(statement.get());
      if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
      if (rc == SQL_ERROR) {
        failed = true;
        if (!collect()) break;
      }
    }
  }
  if (failed) throw OdbcError(errors.empty() ? "サーバがバッチを受け付けませんでした" : errors);
}

namespace {

// One value of the current row as text, read in pieces as long as the driver truncates.
std::optional<std::string> columnText(SQLHANDLE statement, SQLUSMALLINT column) {
  std::vector<SQLWCHAR> text;
  SQLWCHAR buffer[512];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, statement, "サーバの値を読めませんでした");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    const std::size_t room = sizeof buffer / sizeof buffer[0] - 1;  // the driver ends each piece with NUL
    const std::size_t got = indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) > room
                                ? room
                                : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
    text.insert(text.end(), buffer, buffer + got);
    if (rc == SQL_SUCCESS) break;
  }
  return toUtf8(text.data(), text.size());
}

}  // namespace

std::vector<OdbcConnection::Row> OdbcConnection::query(const std::string& sql) {
  WideText text = toWide(sql);
  const Handle statement(SQL_HANDLE_STMT, handles_->dbc.get());
  SQLRETURN rc = SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size()));
  if (rc == SQL_NO_DATA) return {};
  if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, statement.get(), "サーバが問い合わせを受け付けませんでした");
  SQLSMALLINT columns = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(statement.get(), &columns))) {
    fail(SQL_HANDLE_STMT, statement.get(), "問い合わせの列を読めませんでした");
  }
  std::vector<Row> rows;
  while (columns > 0) {
    rc = SQLFetch(statement.get());
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, statement.get(), "問い合わせの行を読めませんでした");
    Row row;
    for (SQLSMALLINT column = 1; column <= columns; ++column) {
      row.push_back(columnText(statement.get(), static_cast<SQLUSMALLINT>(column)));
    }
    rows.push_back(std::move(row));
  }
  // A later statement of the batch may still fail, or the connection break before its end.
  for (;;) {
    rc = SQLMoreResults(statement.get());
    if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
    if (rc == SQL_ERROR) fail(SQL_HANDLE_STMT, statement.get(), "サーバが問い合わせを受け付けませんでした");
  }
  return rows;
}

}  // namespace morvane::platform
