#pragma once
// The server's side of the TDS 7.x messages the test server needs: reading PRELOGIN, LOGIN7 and
// SQL batch payloads, and writing the tokens of its answers.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace morvane::test::tds {

enum PacketType : std::uint8_t {
  sqlBatch = 0x01,
  reply = 0x04,
  attention = 0x06,
  login7 = 0x10,
  prelogin = 0x12,
};

constexpr std::uint8_t statusEndOfMessage = 0x01;
constexpr std::size_t headerSize = 8;

enum DoneStatus : std::uint16_t {
  doneFinal = 0x0000,
  doneMore = 0x0001,
  doneError = 0x0002,
  doneCount = 0x0010,
  doneAttention = 0x0020,
};

struct ProtocolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline std::uint16_t readLe16(const std::string& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) throw ProtocolError("message too short");
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                                                << 8);
}

inline std::uint32_t readLe32(const std::string& bytes, std::size_t at) {
  return readLe16(bytes, at) | static_cast<std::uint32_t>(readLe16(bytes, at + 2)) << 16;
}

inline void putLe16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

inline void putLe32(std::string& out, std::uint32_t value) {
  putLe16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  putLe16(out, static_cast<std::uint16_t>(value >> 16));
}

inline void putBe16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value >> 8);
  out += static_cast<char>(value & 0xFF);
}

// ASCII and the BMP only: the server's own texts plus names echoed back from the client.
inline std::string utf16le(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t code = c;
    std::size_t length = 1;
    if (c >= 0xF0) {
      code = c & 0x07, length = 4;
    } else if (c >= 0xE0) {
      code = c & 0x0F, length = 3;
    } else if (c >= 0xC0) {
      code = c & 0x1F, length = 2;
    }
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      putLe16(out, static_cast<std::uint16_t>(0xD800 + (code >> 10)));
      putLe16(out, static_cast<std::uint16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      putLe16(out, static_cast<std::uint16_t>(code));
    }
  }
  return out;
}

// B_VARCHAR: a one-byte count of UTF-16 units, then the text.
inline void putBVarchar(std::string& out, const std::string& utf8) {
  const std::string text = utf16le(utf8);
  out += static_cast<char>(text.size() / 2);
  out += text;
}

// US_VARCHAR: a two-byte count of UTF-16 units, then the text.
inline void putUsVarchar(std::string& out, const std::string& utf8) {
  const std::string text = utf16le(utf8);
  putLe16(out, static_cast<std::uint16_t>(text.size() / 2));
  out += text;
}

// Counts and line numbers widened with TDS 7.2.
inline bool wideCounts(std::uint32_t tdsVersion) { return (tdsVersion >> 24) >= 0x72; }

// The PRELOGIN answer: version 16.0, no encryption support, no instance, no MARS. Saying
// ENCRYPT_NOT_SUP keeps the client from starting TLS.
inline std::string preloginReply() {
  const std::string version{"\x10\x00\x00\x00\x00\x00", 6};
  const std::string data = version + std::string{"\x02\x00\x00", 3};  // encryption, instance, MARS
  std::string out;
  const std::uint16_t start = 4 * 5 + 1;
  const struct {
    std::uint8_t token;
    std::uint16_t offset, length;
  } options[] = {{0x00, 0, 6}, {0x01, 6, 1}, {0x02, 7, 1}, {0x04, 8, 1}};
  for (const auto& option : options) {
    out += static_cast<char>(option.token);
    putBe16(out, static_cast<std::uint16_t>(start + option.offset));
    putBe16(out, option.length);
  }
  out += '\xFF';
  return out + data;
}

// The instance name a PRELOGIN asks for (its INSTOPT option); empty when there is none.
inline std::string preloginInstance(const std::string& payload) {
  for (std::size_t at = 0; at + 5 <= payload.size() && payload[at] != '\xFF'; at += 5) {
    if (payload[at] != 0x02) continue;
    const std::size_t offset =
        static_cast<unsigned char>(payload[at + 1]) << 8 | static_cast<unsigned char>(payload[at + 2]);
    const std::size_t length =
        static_cast<unsigned char>(payload[at + 3]) << 8 | static_cast<unsigned char>(payload[at + 4]);
    if (offset + length > payload.size()) throw ProtocolError("PRELOGIN option out of range");
    const std::string value = payload.substr(offset, length);
    return value.substr(0, value.find('\0'));
  }
  return {};
}

struct Login7 {
  std::uint32_t tdsVersion = 0;
  std::string user;      // UTF-16LE
  std::string password;  // UTF-16LE, de-obfuscated
  std::string database;  // UTF-16LE
};

// The client hides the password by swapping each byte's nibbles and XORing it with 0xA5.
inline std::string deobfuscate(std::string bytes) {
  for (char& c : bytes) {
    const auto b = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ 0xA5);
    c = static_cast<char>(((b & 0x0F) << 4) | (b >> 4));
  }
  return bytes;
}

inline Login7 parseLogin7(const std::string& payload) {
  if (payload.size() < 72) throw ProtocolError("LOGIN7 too short");
  auto field = [&](std::size_t at) {
    const std::size_t offset = readLe16(payload, at);
    const std::size_t length = readLe16(payload, at + 2) * 2u;
    if (offset + length > payload.size()) throw ProtocolError("LOGIN7 field out of range");
    return payload.substr(offset, length);
  };
  Login7 login;
  login.tdsVersion = readLe32(payload, 4);
  login.user = field(40);
  login.password = deobfuscate(field(44));
  login.database = field(68);
  return login;
}

// The SQL text of a batch: from TDS 7.2 on it follows the ALL_HEADERS block, whose first four
// bytes give its whole length.
inline std::string batchText(const std::string& payload, std::uint32_t tdsVersion) {
  if (!wideCounts(tdsVersion)) return payload;
  const std::uint32_t headers = readLe32(payload, 0);
  if (headers < 4 || headers > payload.size()) throw ProtocolError("bad ALL_HEADERS length");
  return payload.substr(headers);
}

inline std::string doneToken(std::uint16_t status, std::uint16_t command, std::uint32_t tdsVersion,
                             std::uint32_t rows = 0) {
  std::string out{"\xFD"};
  putLe16(out, status);
  putLe16(out, command);
  putLe32(out, rows);
  if (wideCounts(tdsVersion)) putLe32(out, 0);
  return out;
}

inline std::string errorToken(std::int32_t number, std::uint8_t state, std::uint8_t severity,
                              const std::string& message, std::uint32_t line, std::uint32_t tdsVersion) {
  std::string body;
  putLe32(body, static_cast<std::uint32_t>(number));
  body += static_cast<char>(state);
  body += static_cast<char>(severity);
  putUsVarchar(body, message);
  putBVarchar(body, "MORVANE-TEST");
  putBVarchar(body, "");
  if (wideCounts(tdsVersion)) {
    putLe32(body, line);
  } else {
    putLe16(body, static_cast<std::uint16_t>(line));
  }
  std::string out{"\xAA"};
  putLe16(out, static_cast<std::uint16_t>(body.size()));
  return out + body;
}

inline std::string envChange(std::uint8_t type, const std::string& newValue, const std::string& oldValue) {
  std::string body(1, static_cast<char>(type));
  putBVarchar(body, newValue);
  putBVarchar(body, oldValue);
  std::string out{"\xE3"};
  putLe16(out, static_cast<std::uint16_t>(body.size()));
  return out + body;
}

inline std::string collationChange() {
  // Latin1_General_CI_AS
  const std::string body{"\x07\x05\x09\x04\xD0\x00\x34\x00", 8};
  std::string out{"\xE3"};
  putLe16(out, static_cast<std::uint16_t>(body.size()));
  return out + body;
}

inline std::string loginAck(std::uint32_t tdsVersion) {
  std::string body{"\x01"};  // SQL_TSQL
  // The version goes big-endian here, the opposite of LOGIN7.
  body += static_cast<char>(tdsVersion >> 24);
  body += static_cast<char>(tdsVersion >> 16 & 0xFF);
  body += static_cast<char>(tdsVersion >> 8 & 0xFF);
  body += static_cast<char>(tdsVersion & 0xFF);
  putBVarchar(body, "Microsoft SQL Server");
  body += std::string{"\x10\x00\x07\xD0", 4};  // 16.0.2000
  std::string out{"\xAD"};
  putLe16(out, static_cast<std::uint16_t>(body.size()));
  return out + body;
}

}  // namespace morvane::test::tds
