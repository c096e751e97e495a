#include "tests/support/TdsTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "tests/support/tds/TdsMessages.h"

namespace morvane::test {
namespace {

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

bool sendReply(int fd, const std::string& tokens) {
  std::uint8_t packetId = 1;
  std::size_t at = 0;
  do {
    const std::size_t chunk = std::min(tokens.size() - at, maxPacket - tds::headerSize);
    const bool last = at + chunk == tokens.size();
    std::string packet;
    packet += static_cast<char>(tds::reply);
    packet += static_cast<char>(last ? tds::statusEndOfMessage : 0);
    tds::putBe16(packet, static_cast<std::uint16_t>(chunk + tds::headerSize));
    tds::putBe16(packet, 0x0034);  // server process id
    packet += static_cast<char>(packetId++);
    packet += '\0';
    packet += tokens.substr(at, chunk);
    if (!writeAll(fd, packet)) return false;
    at += chunk;
  } while (at < tokens.size());
  return true;
}

// The name a batch gives to CREATE TABLE, without its schema; nothing when it creates none.
std::optional<std::string> createdTable(const std::string& sql) {
  static const std::string keyword = "CREATE TABLE ";
  const auto at = sql.find(keyword);
  if (at == std::string::npos) return std::nullopt;
  std::size_t begin = at + keyword.size();
  while (begin < sql.size() && sql[begin] == ' ') ++begin;
  std::size_t end = begin;
  while (end < sql.size() && sql[end] != ' ' && sql[end] != '\t' && sql[end] != '\r' && sql[end] != '\n' &&
         sql[end] != '(') {
    ++end;
  }
  std::string name = sql.substr(begin, end - begin);
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.erase(0, dot + 1);
  return name;
}

std::optional<std::string> addedConstraint(const std::string& sql) {
  static const std::string keyword = "ADD CONSTRAINT ";
  auto at = sql.find(keyword);
  if (at == std::string::npos) return std::nullopt;
  at += keyword.size();
  while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at]))) ++at;
  std::size_t end = at;
  while (end < sql.size() && !std::isspace(static_cast<unsigned char>(sql[end]))) ++end;
  return sql.substr(at, end - at);
}

}  // namespace

std::string utf16leToUtf8(const std::string& bytes) {
  std::string out;
  auto put = [&](std::uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | code >> 6);
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | code >> 12);
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | code >> 18);
      out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const std::uint32_t unit = tds::readLe16(bytes, i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      const std::uint32_t low = tds::readLe16(bytes, i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        put(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    put(unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
  }
  return out;
}

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
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
  if (wakeFd_ < 0) {
    const auto error = systemError("eventfd");
    ::close(listenFd_);
    throw error;
  }
  if (config_.browser) {
    browserFd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in browser{};
    browser.sin_family = AF_INET;
    browser.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    browser.sin_port = htons(1434);
    if (browserFd_ >= 0 && ::bind(browserFd_, reinterpret_cast<sockaddr*>(&browser), sizeof browser) != 0) {
      ::close(browserFd_);
      browserFd_ = -1;
    }
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
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto ignored = ::write(wakeFd_, &one, sizeof one);
  acceptor_.join();
  // The acceptor has stopped, so the list no longer grows.
  for (auto& session : sessions_) session.join();
  ::close(listenFd_);
  ::close(wakeFd_);
  if (browserFd_ >= 0) ::close(browserFd_);
}

std::string TdsTestServer::address() const { return "127.0.0.1," + std::to_string(port_); }

std::vector<std::string> TdsTestServer::rawBatches() const {
  std::lock_guard lock(mutex_);
  return rawBatches_;
}

std::vector<std::string> TdsTestServer::batches() const {
  std::vector<std::string> decoded;
  for (const auto& raw : rawBatches()) decoded.push_back(utf16leToUtf8(raw));
  return decoded;
}

std::vector<TdsTestServer::Login> TdsTestServer::logins() const {
  std::lock_guard lock(mutex_);
  return logins_;
}

std::size_t TdsTestServer::connectionCount() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

std::set<std::string> TdsTestServer::tables() const {
  std::lock_guard lock(mutex_);
  return tables_;
}

void TdsTestServer::acceptLoop() {
  for (;;) {
    pollfd fds[3] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}, {browserFd_, POLLIN, 0}};
    if (::poll(fds, browserFd_ >= 0 ? 3 : 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (browserFd_ >= 0 && fds[2].revents) answerBrowser();
    if (!fds[0].revents) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    ++connections_;
    sessionFds_.push_back(fd);
    sessions_.emplace_back([this, fd] { serve(fd); });
  }
}

// A CLNT_UCAST_INST request (0x04, then the instance name) gets one SVR_RESP naming this
// server's TCP port for whatever instance was asked for.
void TdsTestServer::answerBrowser() {
  char request[512];
  sockaddr_in from{};
  socklen_t size = sizeof from;
  const ssize_t got = ::recvfrom(browserFd_, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &size);
  if (got < 1 || request[0] != 0x04) return;
  const std::string instance(request + 1, strnlen(request + 1, static_cast<std::size_t>(got - 1)));
  const std::string text = "ServerName;MORVANE-TEST;InstanceName;" + instance +
                           ";IsClustered;No;Version;16.0.1000.6;tcp;" + std::to_string(port_) + ";;";
  std::string reply{"\x05"};
  tds::putLe16(reply, static_cast<std::uint16_t>(text.size()));
  reply += text;
  ::sendto(browserFd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), size);
}

void TdsTestServer::serve(int fd) {
  try {
    std::uint32_t version = 0x74000004;
    bool loggedIn = false;
    std::string instance;
    while (auto message = readMessage(fd)) {
      if (config_.mode == Mode::silent) continue;
      std::string reply;
      bool hangUp = false;
      switch (message->type) {
        case tds::prelogin:
          instance = tds::preloginInstance(message->payload);
          reply = tds::preloginReply();
          break;
        case tds::login7: {
          const auto login = tds::parseLogin7(message->payload);
          version = login.tdsVersion;
          const Login seen{utf16leToUtf8(login.user), utf16leToUtf8(login.password), utf16leToUtf8(login.database),
                           login.tdsVersion, instance};
          {
            std::lock_guard lock(mutex_);
            logins_.push_back(seen);
          }
          const bool wrongDatabase = !config_.database.empty() && seen.database != config_.database;
          if (seen.user != config_.user || seen.password != config_.password || wrongDatabase) {
            if (wrongDatabase && seen.user == config_.user && seen.password == config_.password) {
              reply += tds::errorToken(
                  4060, 1, 11,
                  "Cannot open database \"" + seen.database + "\" requested by the login. The login failed.", 1,
                  version);
            }
            reply += tds::errorToken(18456, 1, 14, "Login failed for user '" + seen.user + "'.", 1, version);
            reply += tds::doneToken(tds::doneError, 0, version);
            hangUp = true;
          } else {
            const std::string database = seen.database.empty() ? "master" : seen.database;
            reply += tds::envChange(1, database, "master");
            reply += tds::collationChange();
            reply += tds::envChange(2, "us_english", "");
            reply += tds::loginAck(version);
            reply += tds::envChange(4, "4096", "4096");
            reply += tds::doneToken(tds::doneFinal, 0, version);
            loggedIn = true;
          }
          break;
        }
        case tds::sqlBatch: {
          if (!loggedIn) {
            hangUp = true;
            break;
          }
          const std::string raw = tds::batchText(message->payload, version);
          const std::string sql = utf16leToUtf8(raw);
          const auto table = createdTable(sql);
          {
            std::unique_lock lock(mutex_);
            rawBatches_.push_back(raw);
            if (config_.batchDelay.count() > 0) {
              stopped_.wait_for(lock, config_.batchDelay, [this] { return stopping_; });
            }
            // Statement by statement, as the server reports a batch: BEGIN TRANSACTION first, or
            // an INSERT that counts its row, which makes the client report the later error only
            // when it walks on to the next result.
            if (sql.starts_with("INSERT")) {
              reply += tds::doneToken(tds::doneMore | tds::doneCount, 0xC3, version, 1);
            } else {
              reply += tds::doneToken(tds::doneMore, 0xD4, version);
            }
            if (table && tables_.contains(*table)) {
              reply += tds::errorToken(
                  2714, 6, 16, "There is already an object named '" + *table + "' in the database.", 2, version);
              reply += tds::doneToken(tds::doneMore | tds::doneError, 0xC6, version);
              // The statements after it still run, and the primary key exists as well.
              if (const auto constraint = addedConstraint(sql)) {
                reply += tds::errorToken(
                    2714, 5, 16, "There is already an object named '" + *constraint + "' in the database.", 6, version);
                reply += tds::errorToken(1750, 0, 16, "Could not create constraint or index. See previous errors.", 6,
                                         version);
                reply += tds::doneToken(tds::doneMore | tds::doneError, 0xAF, version);
              }
            } else if (table) {
              tables_.insert(*table);
            }
            reply += tds::doneToken(tds::doneFinal, 0, version);
          }
          break;
        }
        case tds::attention:
          reply = tds::doneToken(tds::doneAttention, 0, version);
          break;
        default:
          hangUp = true;
          break;
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
