#include "tests/support/TdsTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
      } else if (message->type == tds::sqlBatch && loggedIn) {
        reply = answerBatch(tds::batchText(message->payload));
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
