#include "platform/xls/BiffDecrypt.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace morvane::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kDefaultPassword[] = "VelvetSweatshop";
constexpr std::size_t kBlock = 1024;  // the key changes every 1024 bytes of the stream

// The password as UTF-16LE, as the key derivations hash it.
Bytes passwordBytes() {
  Bytes bytes;
  for (const char c : std::string_view(kDefaultPassword)) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0);
  }
  return bytes;
}

void appendLe32(Bytes& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes md5(const Bytes& data) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, data.size(), data.data());
  Bytes digest(MD5_DIGEST_SIZE);
  md5_digest(&context, digest.size(), digest.data());
  return digest;
}

Bytes sha1(const Bytes& data) {
  sha1_ctx context;
  sha1_init(&context);
  sha1_update(&context, data.size(), data.data());
  Bytes digest(SHA1_DIGEST_SIZE);
  sha1_digest(&context, digest.size(), digest.data());
  return digest;
}

// The two kinds differ only in how the key of a block is made and how the verifier is hashed.
struct Rc4Scheme {
  bool cryptoApi = false;
  Bytes base;                  // hashed once from the password and the salt
  std::size_t keyBytes = 16;  // of the hash that make the key

  Bytes key(std::uint32_t block) const {
    Bytes input = base;
    appendLe32(input, block);
    Bytes key = cryptoApi ? sha1(input) : md5(input);
    // A 40-bit key is padded with zeros to 128 bits; longer ones are used as they are.
    key.resize(keyBytes);
    if (keyBytes == 5) key.resize(16, 0);
    return key;
  }
};

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool has(std::size_t n) const { return bytes_.size() - pos_ >= n; }
  std::uint32_t le(std::size_t n) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < n; ++i) value |= static_cast<std::uint32_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += n;
    return value;
  }
  Bytes take(std::size_t n) {
    Bytes out(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return out;
  }
  void skip(std::size_t n) { pos_ += n; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// The scheme for the default password, or none when the FILEPASS record asks for another
// password or another kind of encryption.
bool schemeFor(std::span<const std::uint8_t> filePass, Rc4Scheme& scheme) {
  Reader in(filePass);
  if (!in.has(6) || in.le(2) != 1) return false;  // 0: XOR obfuscation, not read
  const std::uint32_t major = in.le(2);
  const std::uint32_t minor = in.le(2);
  Bytes salt, verifier, verifierHash;
  const Bytes password = passwordBytes();
  if (major == 1 && minor == 1) {
    if (!in.has(48)) return false;
    salt = in.take(16);
    verifier = in.take(16);
    verifierHash = in.take(16);
    Bytes truncated = md5(password);
    truncated.resize(5);
    Bytes repeated;
    for (int i = 0; i < 16; ++i) {
      repeated.insert(repeated.end(), truncated.begin(), truncated.end());
      repeated.insert(repeated.end(), salt.begin(), salt.end());
    }
    scheme.base = md5(repeated);
    scheme.base.resize(5);
  } else if (major >= 2 && major <= 4 && minor == 2) {
    if (!in.has(8)) return false;
    in.skip(4);  // flags, repeated in the header
    const std::uint32_t headerSize = in.le(4);
    if (headerSize < 20 || !in.has(headerSize)) return false;
    in.skip(8);  // flags, size of extra data
    const std::uint32_t algorithm = in.le(4);
    const std::uint32_t hash = in.le(4);
    std::uint32_t keyBits = in.le(4);
    in.skip(headerSize - 20);
    if ((algorithm != 0 && algorithm != 0x6801) || (hash != 0 && hash != 0x8004)) return false;  // RC4, SHA-1
    if (keyBits == 0) keyBits = 40;
    if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0) return false;
    if (!in.has(4) || in.le(4) != 16 || !in.has(16 + 16 + 4)) return false;
    salt = in.take(16);
    verifier = in.take(16);
    if (in.le(4) != 20 || !in.has(20)) return false;
    verifierHash = in.take(20);
    scheme.cryptoApi = true;
    scheme.keyBytes = keyBits / 8;
    Bytes salted = salt;
    salted.insert(salted.end(), password.begin(), password.end());
    scheme.base = sha1(salted);
  } else {
    return false;
  }
  // The verifier and its hash are encrypted in one run with the first block's key.
  const Bytes key = scheme.key(0);
  arcfour_ctx cipher;
  arcfour_set_key(&cipher, key.size(), key.data());
  Bytes encrypted = verifier;
  encrypted.insert(encrypted.end(), verifierHash.begin(), verifierHash.end());
  Bytes plain(encrypted.size());
  arcfour_crypt(&cipher, plain.size(), plain.data(), encrypted.data());
  const Bytes found(plain.begin(), plain.begin() + 16);
  const Bytes expected = scheme.cryptoApi ? sha1(found) : md5(found);
  return std::equal(expected.begin(), expected.end(), plain.begin() + 16);
}

// Records left unencrypted whole; of BOUNDSHEET, its first four bytes.
bool isClearRecord(std::uint16_t type) {
  switch (type) {
    case 0x0809:  // BOF
    case 0x002F:  // FILEPASS
    case 0x0194:  // USREXCL
    case 0x0195:  // FILELOCK
    case 0x00E1:  // INTERFACEHDR
    case 0x0196:  // RRDINFO
    case 0x0138:  // RRDHEAD
      return true;
    default:
      return false;
  }
}

}  // namespace

bool decryptWithDefaultPassword(std::span<const std::uint8_t> stream, std::span<const std::uint8_t> filePass,
                                StreamBytes& out) {
  Rc4Scheme scheme;
  if (!schemeFor(filePass, scheme)) return false;
  out = StreamBytes(stream.size());
  if (!stream.empty()) std::memcpy(out.data(), stream.data(), stream.size());
  std::uint8_t* bytes = out.data();
  // The key stream runs over the whole stream, record headers included, from a new key at
  // each block; only record bodies are decrypted.
  std::array<std::uint8_t, kBlock> keyStream{};
  std::size_t keyBlock = SIZE_MAX;
  bool filePassSeen = false;
  for (std::size_t pos = 0; pos + 4 <= stream.size();) {
    const auto type = static_cast<std::uint16_t>(bytes[pos] | bytes[pos + 1] << 8);
    const std::size_t length = bytes[pos + 2] | bytes[pos + 3] << 8;
    const std::size_t end = std::min(stream.size(), pos + 4 + length);
    if (type == 0x002F && !filePassSeen) {
      filePassSeen = true;
      // Now an unknown record: the globals read on past it.
      bytes[pos] = 0xFF;
      bytes[pos + 1] = 0xFF;
    }
    if (!isClearRecord(type)) {
      for (std::size_t at = pos + 4 + (type == 0x0085 ? 4 : 0); at < end; ++at) {
        if (at / kBlock != keyBlock) {
          keyBlock = at / kBlock;
          const Bytes key = scheme.key(static_cast<std::uint32_t>(keyBlock));
          arcfour_ctx cipher;
          arcfour_set_key(&cipher, key.size(), key.data());
          keyStream.fill(0);
          arcfour_crypt(&cipher, keyStream.size(), keyStream.data(), keyStream.data());
        }
        bytes[at] ^= keyStream[at % kBlock];
      }
    }
    pos = end;
  }
  return true;
}

}  // namespace morvane::platform
