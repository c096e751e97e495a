#include "tests/support/TdsTestServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace morvane::test {
namespace {

// The server's side of the TDS 7.2+ messages: reading LOGIN7 and SQL batch payloads, writing the
// tokens of the answers. The client always asks for 7.4.
namespace tds {

enum PacketType : std::uint8_t { sqlBatch = 0x01, reply = 0x04, attention = 0x06, login7 = 0x10, prelogin = 0x12 };
enum DoneStatus : std::uint16_t { doneFinal = 0, doneMore = 1, doneError = 2, doneCount = 0x10, doneAttention = 0x20 };
constexpr std::uint8_t statusEndOfMessage = 0x01;
constexpr std::size_t headerSize = 8;

struct ProtocolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::uint32_t readLe16(const std::string& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) throw ProtocolError("message too short");
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

std::uint32_t readLe32(const std::string& bytes, std::size_t at) {
  return readLe16(bytes, at) | readLe16(bytes, at + 2) << 16;
}

void putLe16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

void putLe32(std::string& out, std::uint32_t value) {
  putLe16(out, value & 0xFFFF);
  putLe16(out, value >> 16);
}

// UTF-8 to UTF-16LE, for the server's texts and the names it echoes back.
std::string utf16le(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    std::uint32_t code = length == 1 ? c : c & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) code = code << 6 | (utf8[i + k] & 0x3F);
    i += length;
    if (code >= 0x10000) {
      putLe16(out, 0xD800 + ((code - 0x10000) >> 10));
      putLe16(out, 0xDC00 + (code & 0x3FF));
    } else {
      putLe16(out, code);
    }
  }
  return out;
}

// UTF-16LE to UTF-8; unpaired surrogates become U+FFFD.
std::string utf8(const std::string& bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    std::uint32_t code = readLe16(bytes, i);
    const std::uint32_t low = i + 3 < bytes.size() ? readLe16(bytes, i + 2) : 0;
    if (code >= 0xD800 && code < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    const int tail = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    out += static_cast<char>(tail == 0 ? code : (0xFF00 >> (tail + 1) & 0xFF) | code >> (6 * tail));
    for (int k = tail - 1; k >= 0; --k) out += static_cast<char>(0x80 | (code >> (6 * k) & 0x3F));
  }
  return out;
}

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

// Version 16.0, ENCRYPT_NOT_SUP (anything else makes the client start TLS), no instance, no MARS.
std::string preloginReply() {
  return std::string{"\x00\x00\x15\x00\x06\x01\x00\x1B\x00\x01\x02\x00\x1C\x00\x01\x04\x00\x1D\x00\x01\xFF", 21} +
         std::string{"\x10\x00\x00\x00\x00\x00\x02\x00\x00", 9};
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

struct Login7 {
  std::uint32_t tdsVersion = 0;
  std::string user, password, database;  // UTF-8, password de-obfuscated
};

Login7 parseLogin7(const std::string& payload) {
  if (payload.size() < 72) throw ProtocolError("LOGIN7 too short");
  auto field = [&](std::size_t at) {
    const std::size_t offset = readLe16(payload, at);
    const std::size_t length = readLe16(payload, at + 2) * 2u;
    if (offset + length > payload.size()) throw ProtocolError("LOGIN7 field out of range");
    return payload.substr(offset, length);
  };
  // The client hides the password by swapping each byte's nibbles and XORing it with 0xA5.
  std::string password = field(44);
  for (char& c : password) {
    const auto b = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ 0xA5);
    c = static_cast<char>(((b & 0x0F) << 4) | (b >> 4));
  }
  return {readLe32(payload, 4), utf8(field(40)), utf8(password), utf8(field(68))};
}

// The SQL text of a batch follows the ALL_HEADERS block, whose first four bytes give its length.
std::string batchText(const std::string& payload) {
  const std::uint32_t headers = readLe32(payload, 0);
  if (headers < 4 || headers > payload.size()) throw ProtocolError("bad ALL_HEADERS length");
  return utf8(payload.substr(headers));
}

std::string doneToken(std::uint16_t status, std::uint16_t command, std::uint32_t rows = 0) {
  std::string out{"\xFD"};
  putLe16(out, status);
  putLe16(out, command);
  putLe32(out, rows);
  putLe32(out, 0);  // row counts are 8 bytes
  return out;
}

std::string errorToken(std::int32_t number, std::uint8_t state, std::uint8_t severity,
                              const std::string& message, std::uint32_t line) {
  std::string body;
  putLe32(body, static_cast<std::uint32_t>(number));
  body += static_cast<char>(state);
  body += static_cast<char>(severity);
  putVarchar(body, message, true);
  putVarchar(body, "MORVANE-TEST");
  putVarchar(body, "");
  putLe32(body, line);
  return token('\xAA', body);
}

std::string envChange(std::uint8_t type, const std::string& newValue, const std::string& oldValue) {
  std::string body(1, static_cast<char>(type));
  putVarchar(body, newValue);
  putVarchar(body, oldValue);
  return token('\xE3', body);
}

std::string loginAck(std::uint32_t tdsVersion) {
  std::string body{"\x01"};  // SQL_TSQL, then the version big-endian, the opposite of LOGIN7
  for (int shift = 24; shift >= 0; shift -= 8) body += static_cast<char>(tdsVersion >> shift & 0xFF);
  putVarchar(body, "Microsoft SQL Server");
  return token('\xAD', body + std::string{"\x10\x00\x07\xD0", 4});  // 16.0.2000
}

// A result set: COLMETADATA, then one ROW per row. A column is either NVARCHAR(256) or INTN(4);
// a value is text, an integer or absent (NULL).
struct Value {
  std::optional<std::string> text;
  std::optional<std::int32_t> number;
};

struct ResultColumn {
  std::string name;
  bool integer = false;
};

std::string columnMetadata(const std::vector<ResultColumn>& columns) {
  std::string out{"\x81"};
  putLe16(out, columns.size());
  for (const auto& column : columns) {
    putLe32(out, 0);     // user type
    putLe16(out, 0x01);  // nullable
    if (column.integer) {
      out += std::string{"\x26\x04", 2};
    } else {
      out += '\xE7';
      putLe16(out, 512);
      out += std::string{"\x09\x04\xD0\x00\x34", 5};  // Latin1_General_CI_AS
    }
    putVarchar(out, column.name);
  }
  return out;
}

std::string row(const std::vector<ResultColumn>& columns, const std::vector<Value>& values) {
  std::string out{"\xD1"};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Value& value = values.at(i);
    if (columns[i].integer) {
      if (value.number) {
        out += '\x04';
        putLe32(out, static_cast<std::uint32_t>(*value.number));
      } else {
        out += '\0';
      }
    } else if (value.text || value.number) {
      const std::string units = utf16le(value.text ? *value.text : std::to_string(*value.number));
      putLe16(out, units.size());
      out += units;
    } else {
      putLe16(out, 0xFFFF);
    }
  }
  return out;
}

}  // namespace tds

constexpr std::size_t maxPacket = 4096;

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error("TdsTestServer: " + what + ": " + std::strerror(errno));
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

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    done += static_cast<std::size_t>(sent);
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
    char header[tds::headerSize];
    if (!readExactly(fd, header, sizeof header)) return std::nullopt;
    const std::size_t length = static_cast<unsigned char>(header[2]) << 8 | static_cast<unsigned char>(header[3]);
    if (length < tds::headerSize) return std::nullopt;
    std::string body(length - tds::headerSize, '\0');
    if (!readExactly(fd, body.data(), body.size())) return std::nullopt;
    message.type = static_cast<std::uint8_t>(header[0]);
    message.payload += body;
    if (header[1] & tds::statusEndOfMessage) return message;
  }
}

// The tokens in packets, the last marked end of message unless more is to follow.
bool sendReply(int fd, const std::string& tokens, bool end = true) {
  std::uint8_t packetId = 1;
  std::size_t at = 0;
  do {
    const std::size_t chunk = std::min(tokens.size() - at, maxPacket - tds::headerSize);
    const bool last = end && at + chunk == tokens.size();
    std::string packet;
    packet += static_cast<char>(tds::reply);
    packet += static_cast<char>(last ? tds::statusEndOfMessage : 0);
    packet += static_cast<char>((chunk + tds::headerSize) >> 8);
    packet += static_cast<char>((chunk + tds::headerSize) & 0xFF);
    packet += std::string{"\x00\x34", 2};  // server process id
    packet += static_cast<char>(packetId++);
    packet += '\0';
    packet += tokens.substr(at, chunk);
    if (!writeAll(fd, packet)) return false;
    at += chunk;
  } while (at < tokens.size());
  return true;
}

// One packet without the end-of-message mark: the client waits for a rest that never comes.
void sendUnfinished(int fd, const std::string& tokens) {
  std::string packet{static_cast<char>(tds::reply), '\0'};
  const std::size_t length = std::min(tokens.size(), maxPacket - tds::headerSize) + tds::headerSize;
  packet += static_cast<char>(length >> 8);
  packet += static_cast<char>(length & 0xFF);
  packet += std::string{"\x00\x34\x01\x00", 4};
  packet += tokens.substr(0, length - tds::headerSize);
  writeAll(fd, packet);
}

// The tokens, then the row again and again until the client sends a cancel, which is then
// acknowledged as a server does; false when the client went away instead.
bool sendEndless(int fd, const std::string& tokens, const std::string& row) {
  if (!sendReply(fd, tokens, false)) return false;
  std::string rows;
  while (rows.size() + row.size() <= maxPacket - tds::headerSize) rows += row;
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0) {
      const auto message = readMessage(fd);
      if (!message || message->type != tds::attention) return false;
      return sendReply(fd, tds::doneToken(tds::doneAttention, 0));
    }
    if (!sendReply(fd, rows, false)) return false;
  }
}

// The word after a keyword ("CREATE TABLE dbo.T (" gives "dbo.T"); nothing without the keyword.
std::optional<std::string> wordAfter(const std::string& sql, const std::string& keyword) {
  auto at = sql.find(keyword);
  if (at == std::string::npos) return std::nullopt;
  at = sql.find_first_not_of(" \t\r\n", at + keyword.size());
  if (at == std::string::npos) return std::string();
  return sql.substr(at, sql.find_first_of(" \t\r\n(", at) - at);
}

// The name a batch gives to CREATE TABLE, without its schema.
std::optional<std::string> createdTable(const std::string& sql) {
  auto name = wordAfter(sql, "CREATE TABLE ");
  if (name) name->erase(0, name->rfind('.') + 1);
  return name;
}

// The table a change script alters or drops, without its schema, and the statement doing it.
std::optional<std::pair<std::string, std::string>> changedTable(const std::string& sql) {
  for (const std::string statement : {"ALTER TABLE ", "DROP TABLE "}) {
    const bool script = sql.starts_with("BEGIN TRANSACTION") || sql.starts_with("SET XACT_ABORT ON");
    if (!script && !sql.starts_with(statement)) continue;
    auto name = wordAfter(sql, statement);
    if (!name) continue;
    name->erase(0, name->rfind('.') + 1);
    return std::pair(statement, *name);
  }
  return std::nullopt;
}

bool mentions(const std::string& sql, const std::string& view) {
  auto upper = sql;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper.find(view) != std::string::npos;
}

std::optional<std::int32_t> number(std::optional<int> value) {
  if (!value) return std::nullopt;
  return *value;
}

struct CatalogAnswer {
  std::string tokens;
  bool hangUp = false;
  std::string endlessRow;  // sent again and again after the tokens, when not empty
};

// The answer to a schema query, or nothing when the batch names neither view.
std::optional<CatalogAnswer> catalogAnswer(const TdsTestServer::Catalog& catalog, const std::string& sql) {
  const bool integer = !catalog.integersAsText;
  std::vector<tds::ResultColumn> columns;
  std::vector<std::vector<tds::Value>> rows;
  const bool keysQuery = mentions(sql, "SYS.INDEXES");
  const bool columnsQuery = mentions(sql, "INFORMATION_SCHEMA.COLUMNS");
  // The attribute queries, their result columns named as the queries name them.
  const std::pair<const char*, const std::vector<TdsTestServer::CatalogRow>*> attributes[] = {
      {"SYS.DEFAULT_CONSTRAINTS", &catalog.defaults},
      {"SYS.FOREIGN_KEYS", &catalog.foreignKeys},
      {"SYS.EXTENDED_PROPERTIES", &catalog.descriptions}};
  const auto attribute = std::find_if(std::begin(attributes), std::end(attributes),
                                      [&](const auto& query) { return mentions(sql, query.first); });
  if (attribute != std::end(attributes)) {
    for (std::size_t at = sql.find(" AS "); at != std::string::npos && at < sql.find(" FROM "); at = sql.find(" AS ", at + 4)) {
      columns.push_back({sql.substr(at + 4, sql.find_first_of(", ", at + 4) - at - 4)});
    }
    for (const auto& row : *attribute->second) {
      rows.emplace_back();
      for (const auto& value : row) rows.back().push_back({value, {}});
    }
  } else if (keysQuery) {
    columns = {{"TABLE_NAME"}, {"INDEX_NAME"}, {"IS_PRIMARY_KEY", integer}, {"IS_UNIQUE_CONSTRAINT", integer},
               {"IS_UNIQUE", integer}, {"KEY_ORDINAL", integer}, {"COLUMN_NAME"}};
    for (const auto& key : catalog.keys) {
      rows.push_back({{key.table, {}}, {key.index.empty() ? "PK_" + key.table : key.index, {}}, {{}, key.primary},
                      {{}, key.uniqueConstraint}, {{}, key.unique}, {{}, key.ordinal}, {key.column, {}}});
    }
  } else if (columnsQuery) {
    columns = {{"TABLE_NAME"},
               {"COLUMN_NAME"},
               {"ORDINAL_POSITION", integer},
               {"DATA_TYPE"},
               {"CHARACTER_MAXIMUM_LENGTH", integer},
               {"NUMERIC_PRECISION", integer},
               {"NUMERIC_SCALE", integer},
               {"IS_NULLABLE"},
               {"IS_IDENTITY", integer},
               {"IDENT_SEED", integer},
               {"IDENT_INCR", integer}};
    for (const auto& c : catalog.columns) {
      rows.push_back({{c.table, {}},
                      {c.column, {}},
                      {{}, c.ordinal},
                      {c.dataType, {}},
                      {{}, number(c.length)},
                      {{}, number(c.precision)},
                      {{}, number(c.scale)},
                      {c.nullable, {}},
                      {{}, c.identity},
                      {{}, number(c.seed)},
                      {{}, number(c.increment)}});
    }
  } else {
    return std::nullopt;
  }
  CatalogAnswer answer;
  if (columnsQuery && catalog.noResultSet) {
    answer.tokens = tds::doneToken(tds::doneFinal, 0);
    return answer;
  }
  answer.tokens = tds::columnMetadata(columns);
  if (columnsQuery && catalog.endlessColumns && !rows.empty()) answer.endlessRow = tds::row(columns, rows.back());
  for (const auto& values : rows) {
    answer.tokens += tds::row(columns, values);
    if (columnsQuery && catalog.hangUpInColumns) {
      answer.hangUp = true;
      return answer;
    }
  }
  if (answer.endlessRow.empty()) {
    answer.tokens += tds::doneToken(tds::doneCount, 0xC1, static_cast<std::uint32_t>(rows.size()));
  }
  return answer;
}

// The answer to a query of INFORMATION_SCHEMA.TABLES alone: the names of the tables it holds.
std::optional<CatalogAnswer> tableNamesAnswer(const std::string& sql, const std::set<std::string>& tables) {
  if (!mentions(sql, "INFORMATION_SCHEMA.TABLES") || mentions(sql, "INFORMATION_SCHEMA.COLUMNS")) return std::nullopt;
  const std::vector<tds::ResultColumn> columns = {{"TABLE_NAME"}};
  CatalogAnswer answer{tds::columnMetadata(columns)};
  for (const auto& table : tables) answer.tokens += tds::row(columns, {{table, {}}});
  answer.tokens += tds::doneToken(tds::doneCount, 0xC1, static_cast<std::uint32_t>(tables.size()));
  return answer;
}

}  // namespace

TdsTestServer::TdsTestServer(Config config) : config_(std::move(config)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw systemError("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 16) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    const auto error = systemError("listen");
    ::close(listenFd_);
    throw error;
  }
  port_ = ntohs(address.sin_port);
  if (config_.catalog) {
    for (const auto& column : config_.catalog->columns) tables_.insert(column.table);
  }
  acceptor_ = std::thread([this] { acceptLoop(); });
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
  // The acceptor has stopped, so the list no longer grows.
  for (auto& session : sessions_) session.join();
  ::close(listenFd_);
}

std::string TdsTestServer::address() const { return "127.0.0.1," + std::to_string(port_); }

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

void TdsTestServer::acceptLoop() {
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
}

// Statement by statement, as the server reports a batch: BEGIN TRANSACTION first, or an INSERT
// that counts its row, which makes the client report a later error only when it walks on to the
// next result. A second CREATE TABLE fails, and so does the primary key after it.
std::string TdsTestServer::answerBatch(const std::string& sql) {
  const auto table = createdTable(sql);
  std::unique_lock lock(mutex_);
  batches_.push_back(sql);
  if (config_.batchDelay.count() > 0) stopped_.wait_for(lock, config_.batchDelay, [this] { return stopping_; });
  std::string reply = sql.starts_with("INSERT") ? tds::doneToken(tds::doneMore | tds::doneCount, 0xC3, 1)
                                                : tds::doneToken(tds::doneMore, 0xD4);
  if (table && tables_.contains(*table)) {
    reply += tds::errorToken(2714, 6, 16, "There is already an object named '" + *table + "' in the database.", 2);
    reply += tds::doneToken(tds::doneMore | tds::doneError, 0xC6);
    if (const auto constraint = wordAfter(sql, "ADD CONSTRAINT ")) {
      reply += tds::errorToken(2714, 5, 16, "There is already an object named '" + *constraint + "' in the database.", 6);
      reply += tds::errorToken(1750, 0, 16, "Could not create constraint or index. See previous errors.", 6);
      reply += tds::doneToken(tds::doneMore | tds::doneError, 0xAF);
    }
  } else if (table) {
    tables_.insert(*table);
  } else if (const auto changed = changedTable(sql); changed && !tables_.contains(changed->second)) {
    reply += tds::errorToken(4902, 1, 16, "Cannot find the object \"" + changed->second +
                             "\" because it does not exist or you do not have permissions.", 2);
    reply += tds::doneToken(tds::doneMore | tds::doneError, 0xC6);
  } else if (changed && changed->first == "DROP TABLE ") {
    tables_.erase(changed->second);
  }
  return reply + tds::doneToken(tds::doneFinal, 0);
}

void TdsTestServer::serve(int fd) {
  try {
    bool loggedIn = false;
    std::string instance;
    while (auto message = readMessage(fd)) {
      if (config_.mode == Mode::silent) continue;
      std::string reply;
      bool hangUp = false;
      if (message->type == tds::prelogin) {
        instance = tds::preloginInstance(message->payload);
        reply = tds::preloginReply();
      } else if (message->type == tds::login7) {
        const auto login = tds::parseLogin7(message->payload);
        {
          std::lock_guard lock(mutex_);
          logins_.push_back({login.user, login.password, login.database, login.tdsVersion, instance});
        }
        const bool known = login.user == config_.user && login.password == config_.password;
        if (known && (config_.database.empty() || login.database == config_.database)) {
          reply += tds::envChange(1, login.database.empty() ? "master" : login.database, "master");
          reply += tds::token('\xE3', std::string{"\x07\x05\x09\x04\xD0\x00\x34\x00", 8});  // Latin1_General_CI_AS
          reply += tds::envChange(2, "us_english", "");
          reply += tds::loginAck(login.tdsVersion);
          reply += tds::envChange(4, "4096", "4096");
          reply += tds::doneToken(tds::doneFinal, 0);
          loggedIn = true;
        } else {
          if (known) {
            reply += tds::errorToken(
                4060, 1, 11, "Cannot open database \"" + login.database + "\" requested by the login. The login failed.", 1);
          }
          reply += tds::errorToken(18456, 1, 14, "Login failed for user '" + login.user + "'.", 1);
          reply += tds::doneToken(tds::doneError, 0);
          hangUp = true;
        }
      } else if (message->type == tds::sqlBatch && loggedIn && config_.mode == Mode::mute) {
        std::lock_guard lock(mutex_);
        batches_.push_back(tds::batchText(message->payload));
      } else if (message->type == tds::attention && config_.mode == Mode::mute) {
        // A server that has stopped answering does not acknowledge the cancel either.
      } else if (message->type == tds::sqlBatch && loggedIn && config_.hangUpAfterBatches &&
                 batches().size() >= *config_.hangUpAfterBatches) {
        break;
      } else if (message->type == tds::sqlBatch && loggedIn) {
        const std::string sql = tds::batchText(message->payload);
        auto catalog = config_.catalog ? catalogAnswer(*config_.catalog, sql) : std::nullopt;
        if (!catalog) catalog = tableNamesAnswer(sql, tables());
        if (catalog) {
          {
            std::lock_guard lock(mutex_);
            batches_.push_back(sql);
          }
          if (catalog->hangUp) {
            sendUnfinished(fd, catalog->tokens);
            break;
          }
          if (!catalog->endlessRow.empty()) {
            if (!sendEndless(fd, catalog->tokens, catalog->endlessRow)) break;
            continue;
          }
          reply = catalog->tokens;
        } else {
          reply = answerBatch(sql);
        }
      } else if (message->type == tds::attention) {
        reply = tds::doneToken(tds::doneAttention, 0);
      } else {
        hangUp = true;
      }
      if (!reply.empty() && !sendReply(fd, reply)) break;
      if (hangUp) break;
    }
  } catch (const tds::ProtocolError&) {
    // A malformed message ends the session, as a real server would.
  }
  std::lock_guard lock(mutex_);
  std::erase(sessionFds_, fd);
  ::close(fd);
}

}  // namespace morvane::test
