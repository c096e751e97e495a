#include "tests/support/TdsTestServer.h"

#include <arpa/inet.h>
#include <iconv.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace morvane::test {
namespace {

// Packet types and DONE status bits of TDS 7.2+; the client always asks for 7.4.
enum : std::uint8_t { sqlBatch = 0x01, reply = 0x04, attention = 0x06, login7 = 0x10, prelogin = 0x12 };
enum : std::uint16_t { doneFinal = 0, doneMore = 1, doneError = 2, doneCount = 0x10, doneAttention = 0x20 };
constexpr std::size_t kHeader = 8, kMaxPacket = 4096;

// Little-endian integers, as TDS writes them (but for packet headers); at() throws past the end.
std::uint32_t getLe(const std::string& bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

void putLe(std::string& out, std::uint64_t value, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) out += static_cast<char>(value >> 8 * i & 0xFF);
}

std::string convert(const std::string& text, const char* to, const char* from) {
  const iconv_t converter = ::iconv_open(to, from);
  std::string out(text.size() * 4, '\0');
  char* in = const_cast<char*>(text.data());
  char* at = out.data();
  std::size_t inLeft = text.size(), outLeft = out.size();
  const std::size_t converted = ::iconv(converter, &in, &inLeft, &at, &outLeft);
  ::iconv_close(converter);
  if (converted == static_cast<std::size_t>(-1)) throw std::runtime_error(std::string("not ") + from);
  out.resize(out.size() - outLeft);
  return out;
}

std::string utf16le(const std::string& utf8) { return convert(utf8, "UTF-16LE", "UTF-8"); }
std::string utf8(const std::string& utf16le) { return convert(utf16le, "UTF-8", "UTF-16LE"); }

// A count of UTF-16 units in one byte (two when wide), then the text.
void putVarchar(std::string& out, const std::string& text, bool wide = false) {
  const std::string units = utf16le(text);
  putLe(out, units.size() / 2, wide ? 2 : 1);
  out += units;
}

std::string token(char type, const std::string& body) {
  std::string out(1, type);
  putLe(out, body.size(), 2);
  return out + body;
}

// The client reads neither the command nor more than the count of a DONE.
std::string done(std::uint16_t status, std::uint64_t rows = 0) {
  std::string out{"\xFD"};
  putLe(out, status, 2);
  putLe(out, 0, 2);
  putLe(out, rows, 8);
  return out;
}

std::string error(std::uint32_t number, const std::string& message) {
  std::string body;
  putLe(body, number, 4);
  body += "\x01\x10";  // state 1, severity 16
  putVarchar(body, message, true);
  putVarchar(body, "MORVANE-TEST");
  putVarchar(body, "");
  putLe(body, 1, 4);  // line
  return token('\xAA', body);
}

TdsTestServer::Login parseLogin7(const std::string& payload) {
  auto field = [&](std::size_t at) { return payload.substr(getLe(payload, at, 2), getLe(payload, at + 2, 2) * 2u); };
  // The client hides the password by swapping each byte's nibbles and XORing it with 0xA5.
  std::string password = field(44);
  for (char& c : password) {
    const auto b = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ 0xA5);
    c = static_cast<char>(((b & 0x0F) << 4) | (b >> 4));
  }
  return {utf8(field(40)), utf8(password), utf8(field(68)), getLe(payload, 4, 4)};
}

// The SQL text of a batch follows the ALL_HEADERS block, whose first four bytes give its length.
std::string batchText(const std::string& payload) { return utf8(payload.substr(getLe(payload, 0, 4))); }

using Values = std::vector<std::optional<std::string>>;

std::optional<std::string> text(std::optional<int> v) { return v ? std::optional(std::to_string(*v)) : std::nullopt; }

// A result set of NVARCHAR(256) columns (the client reads every value as text), then its count;
// cut, only its first row and no end.
std::string resultSet(std::size_t width, const std::vector<Values>& rows, bool cut = false) {
  std::string out{"\x81"};
  putLe(out, width, 2);
  for (std::size_t i = 0; i < width; ++i) {
    putLe(out, 1 << 16, 6);  // user type 0, nullable
    out += std::string{"\xE7\x00\x02\x09\x04\xD0\x00\x34", 8};
    putVarchar(out, "");
  }
  for (const auto& values : rows) {
    out += '\xD1';
    for (const auto& value : values) {
      const std::string units = utf16le(value.value_or(""));
      putLe(out, value ? units.size() : 0xFFFF, 2);
      out += units;
    }
    if (cut) return out;
  }
  return out + done(doneCount, rows.size());
}

struct Message { std::uint8_t type = 0; std::string payload; };

std::optional<Message> readMessage(int fd) {
  auto readExactly = [fd](char* buffer, std::size_t size) {
    for (ssize_t got = 0; size > 0; buffer += got, size -= static_cast<std::size_t>(got)) {
      if ((got = ::recv(fd, buffer, size, 0)) <= 0) return false;
    }
    return true;
  };
  Message message;
  for (;;) {
    char header[kHeader];
    if (!readExactly(header, sizeof header)) return std::nullopt;
    const std::size_t length = static_cast<unsigned char>(header[2]) << 8 | static_cast<unsigned char>(header[3]);
    if (length < kHeader) return std::nullopt;
    std::string body(length - kHeader, '\0');
    if (!readExactly(body.data(), body.size())) return std::nullopt;
    message.type = static_cast<std::uint8_t>(header[0]);
    message.payload += body;
    if (header[1] & 0x01) return message;  // end of message
  }
}

bool sendReply(int fd, const std::string& tokens) {
  std::uint8_t packetId = 1;
  for (std::size_t at = 0; at < tokens.size();) {
    const std::size_t chunk = std::min(tokens.size() - at, kMaxPacket - kHeader);
    std::string packet{static_cast<char>(reply), static_cast<char>(at + chunk == tokens.size() ? 1 : 0),
                       static_cast<char>((chunk + kHeader) >> 8), static_cast<char>((chunk + kHeader) & 0xFF), '\0', '\x34',
                       static_cast<char>(packetId++), '\0'};
    packet += tokens.substr(at, chunk);
    if (::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(packet.size())) return false;
    at += chunk;
  }
  return true;
}

// The word after a keyword ("CREATE TABLE dbo.T (" gives "T", without its schema).
std::optional<std::string> nameAfter(const std::string& sql, const std::string& keyword) {
  auto at = sql.find(keyword);
  if (at == std::string::npos) return std::nullopt;
  at = sql.find_first_not_of(" \t\r\n", at + keyword.size());
  std::string name = at == std::string::npos ? "" : sql.substr(at, sql.find_first_of(" \t\r\n(", at) - at);
  return name.substr(name.rfind('.') + 1);
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
    throw std::runtime_error(std::string("TdsTestServer: cannot listen: ") + std::strerror(errno));
  }
  port_ = ntohs(address.sin_port);
  for (const auto& column : config_.catalog.value_or(Catalog{}).columns) tables_.insert(column.table);
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

bool TdsTestServer::waitForConnections(std::size_t count, std::chrono::seconds limit) const {
  std::unique_lock lock(mutex_);
  return connected_.wait_for(lock, limit, [&] { return connections_ >= count; });
}

// A schema query gets its result set. Other batches are answered statement by statement, as the
// server does: an INSERT counts its row, so the client finds a later error only on the next result.
// A second CREATE TABLE fails (2714, its constraint too); an ALTER or DROP of an unknown table 4902.
std::string TdsTestServer::answerBatch(const std::string& sql, bool& hangUp) {
  std::unique_lock lock(mutex_);
  if (config_.hangUpAfterBatches && batches_.size() >= *config_.hangUpAfterBatches) {
    hangUp = true;
    return "";
  }
  batches_.push_back(sql);
  if (config_.mode == Mode::mute) return "";  // nor its cancel
  stopped_.wait_for(lock, config_.batchDelay, [this] { return stopping_; });
  const Catalog* catalog = config_.catalog ? &*config_.catalog : nullptr;
  auto asks = [&](const char* view) { return catalog && sql.find(view) != std::string::npos; };
  std::vector<Values> rows;
  if (asks("FROM INFORMATION_SCHEMA.COLUMNS")) {
    for (const auto& c : catalog->columns) {
      rows.push_back({c.table, c.column, text(c.ordinal), c.dataType, text(c.length), text(c.precision), text(c.scale),
                      c.nullable, text(c.identity), text(c.seed), text(c.increment)});
    }
    hangUp = catalog->hangUpInColumns;
    return resultSet(11, rows, hangUp);
  }
  if (asks("FROM sys.indexes")) {
    for (const auto& k : catalog->keys) {
      rows.push_back({k.table, k.index.empty() ? "PK_" + k.table : k.index, text(k.primary), text(k.uniqueConstraint),
                      text(k.unique), text(k.ordinal), k.column});
    }
    return resultSet(7, rows);
  }
  if (asks("FROM sys.default_constraints")) return resultSet(4, catalog->defaults);
  if (asks("FROM sys.foreign_keys")) return resultSet(6, catalog->foreignKeys);
  if (asks("FROM sys.extended_properties")) return resultSet(3, catalog->descriptions);
  if (sql.starts_with("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES")) {
    for (const auto& table : tables_) rows.push_back({table});
    return resultSet(1, rows);
  }
  // A change script's table, or the one a lone ALTER or DROP TABLE names.
  const auto created = nameAfter(sql, "CREATE TABLE ");
  const bool script = sql.starts_with("BEGIN TRANSACTION") || sql.starts_with("SET XACT_ABORT ON");
  const bool drop = !nameAfter(sql, "ALTER TABLE ") && nameAfter(sql, "DROP TABLE ");
  const char* change = drop ? "DROP TABLE " : "ALTER TABLE ";
  const auto changed = script || sql.starts_with(change) ? nameAfter(sql, change) : std::nullopt;
  std::string answer = sql.starts_with("INSERT") ? done(doneMore | doneCount, 1) : done(doneMore);
  const std::string exists = "There is already an object named '";
  if (created && tables_.contains(*created)) {
    answer += error(2714, exists + *created + "' in the database.") + done(doneMore | doneError);
    if (const auto constraint = nameAfter(sql, "ADD CONSTRAINT ")) {
      answer += error(2714, exists + *constraint + "' in the database.") +
                error(1750, "Could not create constraint or index. See previous errors.") + done(doneMore | doneError);
    }
  } else if (created) {
    tables_.insert(*created);
  } else if (changed && !tables_.contains(*changed)) {
    answer += error(4902, "Cannot find the object \"" + *changed + "\" because it does not exist or you do not have "
                          "permissions.") + done(doneMore | doneError);
  } else if (changed && drop) {
    tables_.erase(*changed);
  }
  return answer + done(doneFinal);
}

void TdsTestServer::serve(int fd) {
  try {
    bool loggedIn = false;
    while (auto message = readMessage(fd)) {
      if (config_.mode == Mode::silent) continue;
      std::string answer;
      bool hangUp = false;
      if (message->type == prelogin) {
        // Version 16.0, ENCRYPT_NOT_SUP (anything else makes the client start TLS), no instance, no MARS.
        answer = std::string{"\x00\x00\x15\x00\x06\x01\x00\x1B\x00\x01\x02\x00\x1C\x00\x01\x04\x00\x1D\x00\x01\xFF", 21} +
                 std::string{"\x10\x00\x00\x00\x00\x00\x02\x00\x00", 9};
      } else if (message->type == login7) {
        const Login login = parseLogin7(message->payload);
        const bool known = login.user == config_.user && login.password == config_.password;
        loggedIn = known && (config_.database.empty() || login.database == config_.database);
        std::lock_guard lock(mutex_);
        logins_.push_back(login);
        if (loggedIn) {  // no ENVCHANGE: the client keeps its packet size and is sent NVARCHAR only
          std::string ack{"\x01"};  // SQL_TSQL, then the version big-endian, the opposite of LOGIN7
          for (int shift = 24; shift >= 0; shift -= 8) ack += static_cast<char>(login.tdsVersion >> shift & 0xFF);
          putVarchar(ack, "Microsoft SQL Server");
          answer = token('\xAD', ack + std::string{"\x10\x00\x07\xD0", 4}) + done(doneFinal);  // 16.0.2000
        } else {
          if (known) answer += error(4060, "Cannot open database \"" + login.database + "\" requested by the login. "
                                           "The login failed.");
          answer += error(18456, "Login failed for user '" + login.user + "'.") + done(doneError);
          hangUp = true;
        }
      } else if (message->type == sqlBatch && loggedIn) {
        answer = answerBatch(batchText(message->payload), hangUp);
      } else if (message->type == attention) {
        if (config_.mode != Mode::mute) answer = done(doneAttention);
      } else {
        hangUp = true;
      }
      if ((!answer.empty() && !sendReply(fd, answer)) || hangUp) break;
    }
  } catch (const std::exception&) {
    // A malformed message ends the session, as a real server would.
  }
  std::lock_guard lock(mutex_);
  std::erase(sessionFds_, fd);
  ::close(fd);
}

}  // namespace morvane::test
