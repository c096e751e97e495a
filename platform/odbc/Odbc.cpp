#include "platform/odbc/Odbc.h"
#include "platform/files/TemporaryFiles.h"
#include "platform/text/Utf8.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string_view>
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

// The reason to give when the statement's diagnostics say its query timeout passed.
std::optional<std::string> timeoutReason(SQLHANDLE statement) {
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLWCHAR message[2];
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, statement, record, state, &native, message, 2, &length))) {
      return std::nullopt;
    }
    if (toUtf8(state, 5) != "HYT00") continue;
    SQLULEN seconds = 0;
    SQLGetStmtAttrW(statement, SQL_ATTR_QUERY_TIMEOUT, &seconds, 0, nullptr);
    return "サーバが " + std::to_string(seconds) + " 秒以内に応答しませんでした (クエリのタイムアウト)";
  }
}

[[noreturn]] void fail(SQLSMALLINT type, SQLHANDLE handle, const std::string& fallback) {
  if (type == SQL_HANDLE_STMT && handle) {
    if (auto reason = timeoutReason(handle)) throw OdbcError(*reason);
  }
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

void refuseNul(const std::string& field, const std::string& value) {
  if (value.find('\0') != std::string::npos) {
    throw OdbcError(field + "に NUL 文字が含まれているため、サーバへ渡せません");
  }
}

// The host goes into the data source file: nothing that could end its line, start a section or
// comment, or be read as a separator by the driver.
void refuseUnsafeHost(const std::string& host) {
  for (const char c : host) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || std::string_view("[]{};=#").find(c) != std::string_view::npos) {
      const std::string shown = byte < 0x20 || byte == 0x7F ? "制御文字" : "「" + std::string(1, c) + "」";
      throw OdbcError("サーバ名に" + shown + "が含まれているため、サーバへ渡せません");
    }
  }
}

// The database name goes into the data source file as well, which ends a value at a line
// break and trims it.
void refuseInDataSource(const std::string& field, const std::string& value) {
  refuseNul(field, value);
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) throw OdbcError(field + "に制御文字が含まれているため、サーバへ渡せません");
  }
  if (!value.empty() && (value.front() == ' ' || value.back() == ' ')) {
    throw OdbcError(field + "の前後に空白があるため、サーバへ渡せません");
  }
}

struct ServerAddress {
  std::string host;
  std::string port;  // empty: the driver's default
};

ServerAddress splitServer(const std::string& server) {
  ServerAddress address{server, {}};
  std::string& host = address.host;
  std::string& port = address.port;
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
  while (!host.empty() && host.back() == ' ') host.pop_back();
  while (!host.empty() && host.front() == ' ') host.erase(0, 1);
  return address;
}

// A user odbc.ini holding one data source, in a private folder that goes with it.
class PrivateDataSource {
 public:
  PrivateDataSource(const std::string& driver, const ServerAddress& address, const std::string& database) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/morvane-odbc-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw OdbcError("ODBC の一時フォルダを作れません: " + pattern);
    folder_ = pattern;
    // A signal during the login takes the file and its folder away as well.
    folderEntry_ = std::make_unique<TemporaryFileEntry>(folder_.c_str());
    fileEntry_ = std::make_unique<TemporaryFileEntry>(file().c_str());
    static std::atomic<unsigned> counter{0};
    name_ = "morvane-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    // SQL Server answers a newer client with its own version, so asking for 7.4 costs nothing;
    // letting FreeTDS guess retries as Sybase (TDS 5.0) after a failed login, which doubles the
    // wait on a silent server and then hangs in the disconnect.
    std::string text = "[" + name_ + "]\nDriver = " + driver + "\nTDS_Version = 7.4\nServer = " + address.host + "\n";
    if (!address.port.empty()) text += "Port = " + address.port + "\n";
    // The file is read as bytes: UTF-8 keeps non-ASCII names whole.
    if (!database.empty()) text += "ClientCharset = UTF-8\nDatabase = " + database + "\n";
    std::ofstream out(file());
    out << text;
    out.close();
    if (!out) {
      const std::string path = file();
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
      throw OdbcError("ODBC の一時ファイルを書けません: " + path);
    }
  }
  ~PrivateDataSource() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    fileEntry_.reset();
    folderEntry_.reset();
  }
  PrivateDataSource(const PrivateDataSource&) = delete;
  PrivateDataSource& operator=(const PrivateDataSource&) = delete;

  const std::string& name() const { return name_; }
  std::string file() const { return folder_ + "/odbc.ini"; }

 private:
  std::string folder_;
  std::string name_;
  std::unique_ptr<TemporaryFileEntry> folderEntry_, fileEntry_;
};

// Points the driver manager's user data sources at one file while it lives; the environment is
// the only way unixODBC takes another file, so connections are made one at a time.
class UserIniOverride {
 public:
  explicit UserIniOverride(const std::string& file) : lock_(mutex()) {
    if (const char* old = std::getenv("ODBCINI")) saved_ = old;
    ::setenv("ODBCINI", file.c_str(), 1);
  }
  ~UserIniOverride() {
    if (saved_) {
      ::setenv("ODBCINI", saved_->c_str(), 1);
    } else {
      ::unsetenv("ODBCINI");
    }
  }
  UserIniOverride(const UserIniOverride&) = delete;
  UserIniOverride& operator=(const UserIniOverride&) = delete;

 private:
  static std::mutex& mutex() {
    static std::mutex shared;
    return shared;
  }
  std::lock_guard<std::mutex> lock_;
  std::optional<std::string> saved_;
};

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

void checkSqlServerLogin(const SqlServerLogin& login) {
  refuseUnsafeHost(splitServer(login.server).host);
  refuseInDataSource("DB名", login.database);
  if (login.user.empty()) {
    // FreeTDS would attempt a Kerberos login instead of a SQL Server one.
    throw OdbcError("ユーザ名が空のため、サーバへ渡せません");
  }
  refuseNul("ユーザ名", login.user);
  refuseNul("パスワード", login.password);
}

namespace {

// A statement that may wait no longer than the limit for the server (0: no limit).
void limitTime(SQLHANDLE statement, int seconds) {
  if (seconds <= 0) return;
  const SQLRETURN rc =
      SQLSetStmtAttrW(statement, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
  if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, statement, "ODBC ドライバがクエリのタイムアウトを受け付けませんでした");
}

}  // namespace

struct OdbcConnection::Handles {
  Environment env;
  Handle dbc{SQL_HANDLE_DBC, env.get()};
  bool connected = false;
  int queryTimeoutSeconds = 0;

  ~Handles() {
    if (connected) SQLDisconnect(dbc.get());
  }
};

OdbcConnection::OdbcConnection(const SqlServerLogin& login, int loginTimeoutSeconds, int queryTimeoutSeconds)
    : handles_(std::make_unique<Handles>()) {
  checkSqlServerLogin(login);
  handles_->queryTimeoutSeconds = queryTimeoutSeconds;
  const WideText user = toWide(login.user);
  const WideText password = toWide(login.password);
  if (user.size() > 32767 || password.size() > 32767) {
    throw OdbcError("ユーザ名またはパスワードが長すぎます");
  }
  SQLHANDLE dbc = handles_->dbc.get();
  SQLRETURN rc = SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)), 0);
  if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_DBC, dbc, "ODBC ドライバがログインのタイムアウトを受け付けませんでした");
  const PrivateDataSource source(freeTdsDriver(), splitServer(login.server), login.database);
  WideText name = toWide(source.name());
  WideText userText = user;
  WideText passwordText = password;
  {
    const UserIniOverride ini(source.file());
    rc = SQLConnectW(dbc, name.data(), static_cast<SQLSMALLINT>(name.size()), userText.data(),
                     static_cast<SQLSMALLINT>(userText.size()), passwordText.data(),
                     static_cast<SQLSMALLINT>(passwordText.size()));
  }
  if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_DBC, dbc, "接続を開けませんでした");
  handles_->connected = true;
}

OdbcConnection::~OdbcConnection() = default;

void OdbcConnection::execute(const std::string& sql) {
  WideText text = toWide(sql);
  const Handle statement(SQL_HANDLE_STMT, handles_->dbc.get());
  limitTime(statement.get(), handles_->queryTimeoutSeconds);
  std::string errors;
  auto collect = [&] {
    if (auto reason = timeoutReason(statement.get())) throw OdbcError(*reason);
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

// One value of the current row as text, read in pieces as long as the driver truncates; budget
// is what the answer may still hold, and shrinks by what was read; past it, over is set.
std::optional<std::string> columnText(SQLHANDLE statement, SQLUSMALLINT column, std::size_t& budget, bool& over) {
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
    // A UTF-16 unit takes up to 3 bytes of UTF-8.
    if (got * 3 > budget) {
      over = true;
      return std::nullopt;
    }
    budget -= got * 3;
    text.insert(text.end(), buffer, buffer + got);
    if (rc == SQL_SUCCESS) break;
  }
  return toUtf8(text.data(), text.size());
}

}  // namespace

std::vector<OdbcConnection::Row> OdbcConnection::query(const std::string& sql, const Limits& limits) {
  WideText text = toWide(sql);
  const Handle statement(SQL_HANDLE_STMT, handles_->dbc.get());
  limitTime(statement.get(), handles_->queryTimeoutSeconds);
  SQLRETURN rc = SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size()));
  if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) {
    fail(SQL_HANDLE_STMT, statement.get(), "サーバが問い合わせを受け付けませんでした");
  }
  SQLSMALLINT columns = 0;
  if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(SQLNumResultCols(statement.get(), &columns))) {
    fail(SQL_HANDLE_STMT, statement.get(), "問い合わせの列を読めませんでした");
  }
  // An answer without a result set would read as nothing at all.
  if (columns <= 0) throw OdbcError("サーバの答えに結果セットがありません");
  std::vector<Row> rows;
  std::size_t budget = limits.bytes;
  for (;;) {
    rc = SQLFetch(statement.get());
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, statement.get(), "問い合わせの行を読めませんでした");
    bool over = rows.size() >= limits.rows;
    const bool tooMany = over;
    Row row;
    for (SQLSMALLINT column = 1; column <= columns && !over; ++column) {
      row.push_back(columnText(statement.get(), static_cast<SQLUSMALLINT>(column), budget, over));
    }
    if (over) {
      // The rest is not read: the server is told to stop sending it.
      SQLCancel(statement.get());
      throw OdbcError("サーバの答えが " +
                      (tooMany ? std::to_string(limits.rows) + " 行" : std::to_string(limits.bytes) + " バイト") +
                      "を超えたため、読むのをやめました");
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
