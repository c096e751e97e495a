// RC4 encryption of a BIFF8 workbook stream, written from the file format's documentation
// apart from the reader's decryption, so that each checks the other.
#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <string>

#include "tests/support/BiffWriter.h"

namespace morvane::test {
namespace {

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
    std::string k = hashed(base + le32(block), cryptoApi);
    if (!cryptoApi) return k;
    return keyBits == 40 ? k.substr(0, 5) + std::string(11, '\0') : k.substr(0, keyBits / 8);
  };
  const std::string verifier = "verifier 16 byte";
  std::string check = verifier + hashed(verifier, cryptoApi);
  rc4(key(0), check);
  std::string filePass = le16(1);
  if (cryptoApi) {
    const std::string header = le32(0x04) + le32(0) + le32(0x6801) + le32(0x8004) + le32(keyBits) + le32(1) +
                               le32(0) + le32(0) + std::string("P\0\0\0", 4);
    filePass += le16(2) + le16(2) + le32(0x04) + le32(static_cast<unsigned>(header.size())) + header +
                le32(16) + salt + check.substr(0, 16) + le32(20) + check.substr(16);
  } else {
    filePass += le16(1) + le16(1) + salt + check;
  }
  // FILEPASS right after the globals' BOF; every sheet then starts that much later.
  const std::size_t bofEnd = 4 + u16At(stream, 2);
  const std::string record = le16(0x002F) + le16(static_cast<unsigned>(filePass.size())) + filePass;
  std::string out = stream.substr(0, bofEnd) + record + stream.substr(bofEnd);
  std::string keyStream;
  for (std::size_t pos = 0; pos + 4 <= out.size();) {
    const unsigned type = u16At(out, pos);
    const std::size_t end = pos + 4 + u16At(out, pos + 2);
    std::size_t from = pos + 4;
    if (type == 0x0085) {
      out.replace(from, 4, le32(u32At(out, from) + static_cast<unsigned>(record.size())));
      from += 4;
    }
    const bool clear = type == 0x0809 || type == 0x002F || type == 0x0194 || type == 0x0195 ||
                       type == 0x00E1 || type == 0x0196 || type == 0x0138;
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
