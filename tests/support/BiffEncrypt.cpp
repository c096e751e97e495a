// RC4 encryption of a BIFF8 workbook stream, written from the file format's documentation
// apart from the reader's decryption, so that each checks the other.
#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <string>

#include "tests/support/BiffWriter.h"

namespace morvane::test {
namespace {

std::string le(unsigned value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
  return out;
}

std::string hashed(const std::string& data, bool sha) {
  std::string digest(sha ? SHA1_DIGEST_SIZE : MD5_DIGEST_SIZE, '\0');
  auto* out = reinterpret_cast<std::uint8_t*>(digest.data());
  const auto* in = reinterpret_cast<const std::uint8_t*>(data.data());
  if (sha) {
    sha1_ctx c;
    sha1_init(&c);
    sha1_update(&c, data.size(), in);
    sha1_digest(&c, digest.size(), out);
  } else {
    md5_ctx c;
    md5_init(&c);
    md5_update(&c, data.size(), in);
    md5_digest(&c, digest.size(), out);
  }
  return digest;
}

void rc4(const std::string& key, std::string& data) {
  arcfour_ctx c;
  arcfour_set_key(&c, key.size(), reinterpret_cast<const std::uint8_t*>(key.data()));
  auto* bytes = reinterpret_cast<std::uint8_t*>(data.data());
  arcfour_crypt(&c, data.size(), bytes, bytes);
}

}  // namespace

std::string BiffWriter::encrypted(const std::string& stream, const std::string& password, unsigned keyBits) {
  const bool cryptoApi = keyBits != 0;
  std::string utf16;
  for (const char c : password) utf16 += std::string{c, '\0'};
  const std::string salt = "0123456789abcdef";
  std::string base;
  if (cryptoApi) {
    base = hashed(salt + utf16, true);
  } else {
    std::string repeated;
    for (int i = 0; i < 16; ++i) repeated += hashed(utf16, false).substr(0, 5) + salt;
    base = hashed(repeated, false).substr(0, 5);
  }
  auto key = [&](unsigned block) {
    std::string k = hashed(base + le(block, 4), cryptoApi);
    if (!cryptoApi) return k;
    return keyBits == 40 ? k.substr(0, 5) + std::string(11, '\0') : k.substr(0, keyBits / 8);
  };
  const std::string verifier = "verifier 16 byte";
  std::string check = verifier + hashed(verifier, cryptoApi);
  rc4(key(0), check);
  std::string filePass = le(1, 2);
  if (cryptoApi) {
    const std::string header = le(0x04, 4) + le(0, 4) + le(0x6801, 4) + le(0x8004, 4) + le(keyBits, 4) + le(1, 4) +
                               le(0, 4) + le(0, 4) + std::string("P\0\0\0", 4);
    filePass += le(2, 2) + le(2, 2) + le(0x04, 4) + le(static_cast<unsigned>(header.size()), 4) + header + le(16, 4) +
                salt + check.substr(0, 16) + le(20, 4) + check.substr(16);
  } else {
    filePass += le(1, 2) + le(1, 2) + salt + check;
  }
  // FILEPASS right after the globals' BOF; every sheet then starts that much later.
  const std::size_t bofEnd = 4 + (static_cast<unsigned char>(stream[2]) | static_cast<unsigned char>(stream[3]) << 8);
  const std::string record = le(0x002F, 2) + le(static_cast<unsigned>(filePass.size()), 2) + filePass;
  std::string out = stream.substr(0, bofEnd) + record + stream.substr(bofEnd);
  std::string keyStream;
  for (std::size_t pos = 0; pos + 4 <= out.size();) {
    const unsigned type = static_cast<unsigned char>(out[pos]) | static_cast<unsigned char>(out[pos + 1]) << 8;
    const std::size_t end = pos + 4 + (static_cast<unsigned char>(out[pos + 2]) | static_cast<unsigned char>(out[pos + 3]) << 8);
    std::size_t from = pos + 4;
    if (type == 0x0085) {
      unsigned offset = 0;
      for (int i = 3; i >= 0; --i) offset = offset << 8 | static_cast<unsigned char>(out[from + i]);
      out.replace(from, 4, le(offset + static_cast<unsigned>(record.size()), 4));
      from += 4;
    }
    const bool clear = type == 0x0809 || type == 0x002F || type == 0x0194 || type == 0x0195 || type == 0x00E1 ||
                       type == 0x0196 || type == 0x0138;
    for (std::size_t at = clear ? end : from; at < end; ++at) {
      while (keyStream.size() <= at) {
        std::string block(1024, '\0');
        rc4(key(static_cast<unsigned>(keyStream.size() / 1024)), block);
        keyStream += block;
      }
      out[at] = static_cast<char>(out[at] ^ keyStream[at]);
    }
    pos = end;
  }
  return out;
}

}  // namespace morvane::test
