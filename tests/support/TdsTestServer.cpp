#include "tests/support/TdsTestServer.h"

#include <arpa/inet.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace morvane::test {
namespace {

// Packet types and DONE status bits of TDS 7.2+; the client always asks for 7.4.
enum : std::uint8_t { sqlBatch = 0x01, reply = 0x04, attention = 0x06, login7 = 0x10, prelogin = 0x12 };
enum : std::uint16_t { doneFinal = 0, doneMore = 1, doneError = 2, doneCount = 0x10, doneAttention = 0x20 };
constexpr std::size_t kHeader = 8, kMaxPacket = 4096;

struct ProtocolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::uint32_t le16(const std::string& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) throw ProtocolError("message too short");
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

std::uint32_t le32(const std::string& bytes, std::size_t at) { return le16(bytes, at) | le16(bytes, at + 2) << 16; }

void putLe16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

void putLe32(std::string& out, std::uint32_t value) {
  putLe16(out, value & 0xFFFF);
  putLe16(out, value >> 16);
}

// Text between UTF-8 and UTF-16LE, the encoding TDS speaks.
std::string convert(const std::string& text, const char* to, const char* from) {
  const iconv_t converter = ::iconv_open(to, from);
  std::string out(text.size() * 4, '\0');
  char* in = const_cast<char*>(text.data());
  char* at = out.data();
  std::size_t inLeft = text.size(), outLeft = out.size();
  const std::size_t converted = ::iconv(converter, &in, &inLeft, &at, &outLeft);
  ::iconv_close(converter);
  if (converted == static_cast<std::size_t>(-1)) throw ProtocolError(std::string("not ") + from);
  out.resize(out.size() - outLeft);
  return out;
}

std::string utf16le(const std::string& utf8) { return convert(utf8, "UTF-16LE", "UTF-8"); }
std::string utf8(const std::string& utf16le) { return convert(utf16le, "UTF-8", "UTF-16LE"); }

// B_VARCHAR (one-byte count) or US_VARCHAR (two-byte count) of UTF-16 units, then the text.
void putVarchar(std::string& out, const std::string& text, bool wide = false) {
  const std::string units = utf16le(text);
  if (wide) {
    putLe16(out, units.size() / 2);
  } else {
    out += static_cast<char>(units.size() / 2);
  }
  out += units;
}

std::string token(char type, const std::string& body) {
  std::string out(1, type);
  putLe16(out, body.size());
  return out + body;
}

std::string done(std::uint16_t status, std::uint16_t command, std::uint32_t rows = 0) {
  std::string out{"\xFD"};
  putLe16(out, status);
  putLe16(out, command);
  putLe32(out, rows);
  putLe32(out, 0);  // row counts are 8 bytes
  return out;
}

std::string error(std::int32_t number, std::uint8_t state, std::uint8_t severity, const std::string& message) {
  std::string body;
  putLe32(body, static_cast<std::uint32_t>(number));
  body += static_cast<char>(state);
  body += static_cast<char>(severity);
  putVarchar(body, message, true);
  putVarchar(body, "MORVANE-TEST");
  putVarchar(body, "");
  putLe32(body, 1);  // line
  return token('\xAA', body);
}

std::string envChange(std::uint8_t type, const std::string& newValue, const std::string& oldValue) {
  std::string body(1, static_cast<char>(type));
  putVarchar(body, newValue);
  putVarchar(body, oldValue);
  return token('\xE3', body);
}

// The instance name a PRELOGIN asks for (its INSTOPT option); empty when there is none.
std::string preloginInstance(const std::string& payload) {
  for (std::size_t at = 0; at + 5 <= payload.size() && payload[at] != '\xFF'; at += 5) {
    if (payload[at] != 0x02) continue;
    const std::size_t offset = static_cast<unsigned char>(payload[at + 1]) << 8 | static_cast<unsigned char>(payload[at + 2]);
    const std::size_t length = static_cast<unsigned char>(payload[at + 3]) << 8 | static_cast<unsigned char>(payload[at + 4]);
    if (offset + length > payload.size()) throw ProtocolError("PRELOGIN option out of range");
    const std::string value = payload.substr(offset, length);
    return value.substr(0, value.find('\0'));
  }
  return {};
}

TdsTestServer::Login parseLogin7(const std::string& payload, const std::string& instance) {
  if (payload.size() < 72) throw ProtocolError("LOGIN7 too short");
  auto field = [&](std::size_t at) {
    const std::size_t offset = le16(payload, at), length = le16(payload, at + 2) * 2u;
    if (offset + length > payload.size()) throw ProtocolError("LOGIN7 field out of range");
    return payload.substr(offset, length);
  };
  // The client hides the password by swapping each byte's nibbles and XORing it with 0xA5.
  std::string password = field(44);
  for (char& c : password) {
    const auto b = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ 0xA5);
    c = static_cast<char>(((b & 0x0F) << 4) | (b >> 4));
  }
  return {utf8(field(40)), utf8(password), utf8(field(68)), le32(payload, 4), instance};
}

// The SQL text of a batch follows the ALL_HEADERS block, whose first four bytes give its length.
std::string batchText(const std::string& payload) {
  const std::uint32_t headers = le32(payload, 0);
  if (headers < 4 || headers > payload.size()) throw ProtocolError("bad ALL_HEADERS length");
  return utf8(payload.substr(headers));
}

// A result set's columns are NVARCHAR(256) or INTN(4); a value is text or NULL.
struct ResultColumn {
  std::string name;
  bool integer = false;
};
using Values = std::vector<std::optional<std::string>>;

std::string columnMetadata(const std::vector<ResultColumn>& columns) {
  std::string out{"\x81"};
  putLe16(out, columns.size());
  for (const auto& column : columns) {
    putLe32(out, 0);     // user type
    putLe16(out, 0x01);  // nullable
    out += column.integer ? std::string{"\x26\x04", 2} : std::string{"\xE7\x00\x02\x09\x04\xD0\x00\x34", 8};
    putVarchar(out, column.name);
  }
  return out;
}

std::string row(const std::vector<ResultColumn>& columns, const Values& values) {
  std::string out{"\xD1"};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const auto& value = values.at(i);
    if (columns[i].integer && value) {
      out += '\x04';
      putLe32(out, static_cast<std::uint32_t>(std::stol(*value)));
    } else if (columns[i].integer) {
      out += '\0';
    } else if (value) {
      const std::string units = utf16le(*value);
      putLe16(out, units.size());
      out += units;
    } else {
      putLe16(out, 0xFFFF);
    }
  }
  return out;
}

bool readExactly(int fd, char* buffer, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::recv(fd, buffer, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    buffer += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

struct Message {
  std::uint8_t type = 0;
  std::string payload;
};

// One whole message: packets up to the one marked end of message.
std::optional<Message> readMessage(int fd) {
  Message message;
  for (;;) {
    char header[kHeader];
    if (!readExactly(fd, header, sizeof header)) return std::nullopt;
    const std::size_t length = static_cast<unsigned char>(header[2]) << 8 | static_cast<unsigned char>(header[3]);
    if (length < kHeader) return std::nullopt;
    std::string body(length - kHeader, '\0');
    if (!readExactly(fd, body.data(), body.size())) return std::nullopt;
    message.type = static_cast<std::uint8_t>(header[0]);
    message.payload += body;
    if (header[1] & 0x01) return message;  // end of message
  }
}

// The tokens in packets, the last marked end of message unless more is to follow.
bool sendReply(int fd, const std::string& tokens, bool end = true) {
  std::uint8_t packetId = 1;
  std::size_t at = 0;
  do {
    const std::size_t chunk = std::min(tokens.size() - at, kMaxPacket - kHeader);
    std::string packet{static_cast<char>(reply), static_cast<char>(end && at + chunk == tokens.size() ? 1 : 0),
                       static_cast<char>((chunk + kHeader) >> 8), static_cast<char>((chunk + kHeader) & 0xFF), '\0', '\x34',
                       static_cast<char>(packetId++), '\0'};
    packet += tokens.substr(at, chunk);
    for (std::size_t sent = 0; sent < packet.size();) {
      const ssize_t n = ::send(fd, packet.data() + sent, packet.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    at += chunk;
  } while (at < tokens.size());
  return true;
}

// The tokens, then the row again and again until the client sends a cancel, which is then
// acknowledged as a server does; false when the client went away instead.
bool sendEndless(int fd, const std::string& tokens, const std::string& row) {
  if (!sendReply(fd, tokens, false)) return false;
  std::string rows;
  while (rows.size() + row.size() <= kMaxPacket - kHeader) rows += row;
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0) {
      const auto message = readMessage(fd);
      return message && message->type == attention && sendReply(fd, done(doneAttention, 0));
    }
    if (!sendReply(fd, rows, false)) return false;
  }
}

// The word after a keyword ("CREATE TABLE dbo.T (" gives "T", without its schema).
std::optional<std::string> nameAfter(const std::string& sql, const std::string& keyword) {
  auto at = sql.find(keyword);
  if (at == std::string::npos) return std::nullopt;
  at = sql.find_first_not_of(" \t\r\n", at + keyword.size());
  std::string name = at == std::string::npos ? "" : sql.substr(at, sql.find_first_of(" \t\r\n(", at) - at);
  return name.substr(name.rfind('.') + 1);
}

bool mentions(const std::string& sql, const std::string& view) {
  auto upper = sql;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper.find(view) != std::string::npos;
}

std::optional<std::string> text(std::optional<int> value) {
  return value ? std::optional(std::to_string(*value)) : std::nullopt;
}

struct Answer {
  std::string tokens;
  bool hangUp = false;
  std::string endlessRow;  // sent again and again after the tokens, when not empty
};

// The answer to a schema query or to a query of the table names, or nothing for other batches.
std::optional<Answer> queryAnswer(const std::optional<TdsTestServer::Catalog>& catalog, const std::string& sql,
                                  const std::set<std::string>& tables) {
  const bool integer = !catalog || !catalog->integersAsText;
  const bool columnsQuery = mentions(sql, "INFORMATION_SCHEMA.COLUMNS");
  std::vector<ResultColumn> columns;
  std::vector<Values> rows;
  const std::pair<const char*, const std::vector<TdsTestServer::CatalogRow>*> attributes[] = {
      {"SYS.DEFAULT_CONSTRAINTS", catalog ? &catalog->defaults : nullptr},
      {"SYS.FOREIGN_KEYS", catalog ? &catalog->foreignKeys : nullptr},
      {"SYS.EXTENDED_PROPERTIES", catalog ? &catalog->descriptions : nullptr}};
  const auto attribute = std::find_if(std::begin(attributes), std::end(attributes),
                                      [&](const auto& query) { return catalog && mentions(sql, query.first); });
  if (attribute != std::end(attributes)) {
    // Result columns named as the query names them.
    for (std::size_t at = sql.find(" AS "); at != std::string::npos && at < sql.find(" FROM "); at = sql.find(" AS ", at + 4)) {
      columns.push_back({sql.substr(at + 4, sql.find_first_of(", ", at + 4) - at - 4)});
    }
    rows.assign(attribute->second->begin(), attribute->second->end());
  } else if (catalog && mentions(sql, "SYS.INDEXES")) {
    columns = {{"TABLE_NAME"}, {"INDEX_NAME"}, {"IS_PRIMARY_KEY", integer}, {"IS_UNIQUE_CONSTRAINT", integer},
               {"IS_UNIQUE", integer}, {"KEY_ORDINAL", integer}, {"COLUMN_NAME"}};
    for (const auto& k : catalog->keys) {
      rows.push_back({k.table, k.index.empty() ? "PK_" + k.table : k.index, text(k.primary), text(k.uniqueConstraint),
                      text(k.unique), text(k.ordinal), k.column});
    }
  } else if (catalog && columnsQuery) {
    columns = {{"TABLE_NAME"}, {"COLUMN_NAME"}, {"ORDINAL_POSITION", integer}, {"DATA_TYPE"},
               {"CHARACTER_MAXIMUM_LENGTH", integer}, {"NUMERIC_PRECISION", integer}, {"NUMERIC_SCALE", integer},
               {"IS_NULLABLE"}, {"IS_IDENTITY", integer}, {"IDENT_SEED", integer}, {"IDENT_INCR", integer}};
    for (const auto& c : catalog->columns) {
      rows.push_back({c.table, c.column, text(c.ordinal), c.dataType, text(c.length), text(c.precision), text(c.scale),
                      c.nullable, text(c.identity), text(c.seed), text(c.increment)});
    }
    if (catalog->noResultSet) return Answer{done(doneFinal, 0), false, ""};
  } else if (mentions(sql, "INFORMATION_SCHEMA.TABLES") && !columnsQuery) {
    columns = {{"TABLE_NAME"}};
    for (const auto& table : tables) rows.push_back({table});
  } else {
    return std::nullopt;
  }
  Answer answer{columnMetadata(columns), false, ""};
  for (const auto& values : rows) {
    answer.tokens += row(columns, values);
    if (columnsQuery && catalog->hangUpInColumns) return Answer{answer.tokens, true, ""};
  }
  if (columnsQuery && catalog->endlessColumns && !rows.empty()) {
    answer.endlessRow = row(columns, rows.back());
  } else {
    answer.tokens += done(doneCount, 0xC1, static_cast<std::uint32_t>(rows.size()));
  }
  return answer;
}

}  // namespace

TdsTestServer::TdsTestServer(Config config) : config_(std::move(config)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 16) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    const std::runtime_error failure(std::string("TdsTestServer: cannot listen: ") + std::strerror(errno));
    if (listenFd_ >= 0) ::close(listenFd_);
    throw failure;
  }
  port_ = ntohs(address.sin_port);
  if (config_.catalog) {
    for (const auto& column : config_.catalog->columns) tables_.insert(column.table);
  }
  acceptor_ = std::thread([this] {
    for (;;) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      std::lock_guard lock(mutex_);
      if (stopping_) {
        if (fd >= 0) ::close(fd);
        return;
      }
      if (fd < 0) continue;
      ++connections_;
      connected_.notify_all();
      sessionFds_.push_back(fd);
      sessions_.emplace_back([this, fd] { serve(fd); });
    }
  });
}

TdsTestServer::~TdsTestServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int fd : sessionFds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  ::shutdown(listenFd_, SHUT_RDWR);  // wakes the acceptor: accept fails from now on
  acceptor_.join();
  for (auto& session : sessions_) session.join();  // the list no longer grows
  ::close(listenFd_);
}

std::vector<std::string> TdsTestServer::batches() const {
  std::lock_guard lock(mutex_);
  return batches_;
}

std::vector<TdsTestServer::Login> TdsTestServer::logins() const {
  std::lock_guard lock(mutex_);
  return logins_;
}

std::size_t TdsTestServer::connectionCount() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

bool TdsTestServer::waitForConnections(std::size_t count, std::chrono::seconds limit) const {
  std::unique_lock lock(mutex_);
  return connected_.wait_for(lock, limit, [&] { return connections_ >= count; });
}

std::set<std::string> TdsTestServer::tables() const {
  std::lock_guard lock(mutex_);
  return tables_;
}

// Statement by statement, as the server reports a batch: BEGIN TRANSACTION first, or an INSERT
// that counts its row, which makes the client report a later error only when it walks on to the
// next result. A second CREATE TABLE fails, and so does the constraint after it.
std::string TdsTestServer::answerBatch(const std::string& sql) {
  const auto created = nameAfter(sql, "CREATE TABLE ");
  // A change script's table, or the one a lone ALTER or DROP TABLE names.
  const bool script = sql.starts_with("BEGIN TRANSACTION") || sql.starts_with("SET XACT_ABORT ON");
  const bool drop = !nameAfter(sql, "ALTER TABLE ") && nameAfter(sql, "DROP TABLE ");
  const auto changed = script || sql.starts_with(drop ? "DROP TABLE " : "ALTER TABLE ")
                           ? nameAfter(sql, drop ? "DROP TABLE " : "ALTER TABLE ")
                           : std::nullopt;
  std::unique_lock lock(mutex_);
  batches_.push_back(sql);
  if (config_.batchDelay.count() > 0) stopped_.wait_for(lock, config_.batchDelay, [this] { return stopping_; });
  std::string answer = sql.starts_with("INSERT") ? done(doneMore | doneCount, 0xC3, 1) : done(doneMore, 0xD4);
  if (created && tables_.contains(*created)) {
    answer += error(2714, 6, 16, "There is already an object named '" + *created + "' in the database.");
    answer += done(doneMore | doneError, 0xC6);
    if (const auto constraint = nameAfter(sql, "ADD CONSTRAINT ")) {
      answer += error(2714, 5, 16, "There is already an object named '" + *constraint + "' in the database.");
      answer += error(1750, 0, 16, "Could not create constraint or index. See previous errors.");
      answer += done(doneMore | doneError, 0xAF);
    }
  } else if (created) {
    tables_.insert(*created);
  } else if (changed && !tables_.contains(*changed)) {
    answer += error(4902, 1, 16, "Cannot find the object \"" + *changed +
                                     "\" because it does not exist or you do not have permissions.");
    answer += done(doneMore | doneError, 0xC6);
  } else if (changed && drop) {
    tables_.erase(*changed);
  }
  return answer + done(doneFinal, 0);
}

void TdsTestServer::serve(int fd) {
  try {
    bool loggedIn = false;
    std::string instance;
    while (auto message = readMessage(fd)) {
      if (config_.mode == Mode::silent) continue;
      const bool batch = message->type == sqlBatch && loggedIn;
      std::string answer;
      bool hangUp = false;
      if (message->type == prelogin) {
        instance = preloginInstance(message->payload);
        // Version 16.0, ENCRYPT_NOT_SUP (anything else makes the client start TLS), no instance, no MARS.
        answer = std::string{"\x00\x00\x15\x00\x06\x01\x00\x1B\x00\x01\x02\x00\x1C\x00\x01\x04\x00\x1D\x00\x01\xFF", 21} +
                 std::string{"\x10\x00\x00\x00\x00\x00\x02\x00\x00", 9};
      } else if (message->type == login7) {
        const Login login = parseLogin7(message->payload, instance);
        {
          std::lock_guard lock(mutex_);
          logins_.push_back(login);
        }
        const bool known = login.user == config_.user && login.password == config_.password;
        loggedIn = known && (config_.database.empty() || login.database == config_.database);
        if (loggedIn) {
          answer += envChange(1, login.database.empty() ? "master" : login.database, "master");
          answer += token('\xE3', std::string{"\x07\x05\x09\x04\xD0\x00\x34\x00", 8});  // Latin1_General_CI_AS
          answer += envChange(2, "us_english", "");
          std::string ack{"\x01"};  // SQL_TSQL, then the version big-endian, the opposite of LOGIN7
          for (int shift = 24; shift >= 0; shift -= 8) ack += static_cast<char>(login.tdsVersion >> shift & 0xFF);
          putVarchar(ack, "Microsoft SQL Server");
          answer += token('\xAD', ack + std::string{"\x10\x00\x07\xD0", 4});  // 16.0.2000
          answer += envChange(4, "4096", "4096");
          answer += done(doneFinal, 0);
        } else {
          if (known) {
            answer += error(4060, 1, 11, "Cannot open database \"" + login.database + "\" requested by the login. The login failed.");
          }
          answer += error(18456, 1, 14, "Login failed for user '" + login.user + "'.");
          answer += done(doneError, 0);
          hangUp = true;
        }
      } else if (config_.mode == Mode::mute && (batch || message->type == attention)) {
        // A server that has stopped answering does not acknowledge the cancel either.
        std::lock_guard lock(mutex_);
        if (batch) batches_.push_back(batchText(message->payload));
      } else if (batch && config_.hangUpAfterBatches && batches().size() >= *config_.hangUpAfterBatches) {
        break;
      } else if (batch) {
        const std::string sql = batchText(message->payload);
        const auto query = queryAnswer(config_.catalog, sql, tables());
        if (!query) {
          answer = answerBatch(sql);
        } else {
          {
            std::lock_guard lock(mutex_);
            batches_.push_back(sql);
          }
          if (query->hangUp) {
            sendReply(fd, query->tokens, false);
            break;
          }
          if (!query->endlessRow.empty()) {
            if (!sendEndless(fd, query->tokens, query->endlessRow)) break;
            continue;
          }
          answer = query->tokens;
        }
      } else if (message->type == attention) {
        answer = done(doneAttention, 0);
      } else {
        hangUp = true;
      }
      if ((!answer.empty() && !sendReply(fd, answer)) || hangUp) break;
    }
  } catch (const ProtocolError&) {
    // A malformed message ends the session, as a real server would.
  }
  std::lock_guard lock(mutex_);
  std::erase(sessionFds_, fd);
  ::close(fd);
}

}  // namespace morvane::test
