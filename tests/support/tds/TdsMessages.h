#pragma once
// The server's side of the TDS 7.2+ messages the test server needs: reading LOGIN7 and SQL batch
// payloads, and writing the tokens of its answers. The client always asks for 7.4.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace morvane::test::tds {

enum PacketType : std::uint8_t { sqlBatch = 0x01, reply = 0x04, attention = 0x06, login7 = 0x10, prelogin = 0x12 };
enum DoneStatus : std::uint16_t { doneFinal = 0, doneMore = 1, doneError = 2, doneCount = 0x10, doneAttention = 0x20 };
constexpr std::uint8_t statusEndOfMessage = 0x01;
constexpr std::size_t headerSize = 8;

struct ProtocolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline std::uint32_t readLe16(const std::string& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) throw ProtocolError("message too short");
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

inline std::uint32_t readLe32(const std::string& bytes, std::size_t at) {
  return readLe16(bytes, at) | readLe16(bytes, at + 2) << 16;
}

inline void putLe16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

inline void putLe32(std::string& out, std::uint32_t value) {
  putLe16(out, value & 0xFFFF);
  putLe16(out, value >> 16);
}

// UTF-8 to UTF-16LE, for the server's texts and the names it echoes back.
inline std::string utf16le(const std::string& utf8) {
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
inline std::string utf8(const std::string& bytes) {
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
inline void putVarchar(std::string& out, const std::string& text, bool wide = false) {
  const std::string units = utf16le(text);
  if (wide) {
    putLe16(out, units.size() / 2);
  } else {
    out += static_cast<char>(units.size() / 2);
  }
  out += units;
}

inline std::string token(char type, const std::string& body) {
  std::string out(1, type);
  putLe16(out, body.size());
  return out + body;
}

// Version 16.0, ENCRYPT_NOT_SUP (anything else makes the client start TLS), no instance, no MARS.
inline std::string preloginReply() {
  return std::string{"\x00\x00\x15\x00\x06\x01\x00\x1B\x00\x01\x02\x00\x1C\x00\x01\x04\x00\x1D\x00\x01\xFF", 21} +
         std::string{"\x10\x00\x00\x00\x00\x00\x02\x00\x00", 9};
}

// The instance name a PRELOGIN asks for (its INSTOPT option); empty when there is none.
inline std::string preloginInstance(const std::string& payload) {
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

inline Login7 parseLogin7(const std::string& payload) {
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
inline std::string batchText(const std::string& payload) {
  const std::uint32_t headers = readLe32(payload, 0);
  if (headers < 4 || headers > payload.size()) throw ProtocolError("bad ALL_HEADERS length");
  return utf8(payload.substr(headers));
}

inline std::string doneToken(std::uint16_t status, std::uint16_t command, std::uint32_t rows = 0) {
  std::string out{"\xFD"};
  putLe16(out, status);
  putLe16(out, command);
  putLe32(out, rows);
  putLe32(out, 0);  // row counts are 8 bytes
  return out;
}

inline std::string errorToken(std::int32_t number, std::uint8_t state, std::uint8_t severity,
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

inline std::string envChange(std::uint8_t type, const std::string& newValue, const std::string& oldValue) {
  std::string body(1, static_cast<char>(type));
  putVarchar(body, newValue);
  putVarchar(body, oldValue);
  return token('\xE3', body);
}

inline std::string loginAck(std::uint32_t tdsVersion) {
  std::string body{"\x01"};  // SQL_TSQL, then the version big-endian, the opposite of LOGIN7
  for (int shift = 24; shift >= 0; shift -= 8) body += static_cast<char>(tdsVersion >> shift & 0xFF);
  putVarchar(body, "Microsoft SQL Server");
  return token('\xAD', body + std::string{"\x10\x00\x07\xD0", 4});  // 16.0.2000
}

}  // namespace morvane::test::tds
