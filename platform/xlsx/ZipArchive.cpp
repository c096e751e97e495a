#include "platform/xlsx/ZipArchive.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/workbook/MappedFile.h"
#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::uint32_t kZip64EndOfDirectory = 0x06064b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;

std::uint16_t u16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t u32(const unsigned char* p) { return u16(p) | static_cast<std::uint32_t>(u16(p + 2)) << 16; }
std::uint64_t u64(const unsigned char* p) { return u32(p) | static_cast<std::uint64_t>(u32(p + 4)) << 32; }

// One decompressor a thread: it holds only tables, rebuilt for every block.
libdeflate_decompressor* decompressor() {
  struct Owner {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Owner() {
      if (d) libdeflate_free_decompressor(d);
    }
  };
  thread_local Owner owner;
  return owner.d;
}

[[noreturn]] void damaged(const std::string& what) { throw WorkbookOpenError("zip ファイルが壊れています: " + what); }

// Package names are compared with slashes, without a leading one.
std::string normalized(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), '\\', '/');
  out.erase(0, std::min(out.find_first_not_of('/'), out.size()));
  return out;
}

std::string folded(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

}  // namespace

ZipPart::ZipPart(std::string name, std::size_t size) { reset(name, size); }

void ZipPart::reset(const std::string& name, std::size_t size) {
  name_ = name;
  if (!bytes_ || capacity_ < size) {
    bytes_.reset(new char[size + 1]);
    capacity_ = size;
  }
  size_ = size;
  bytes_[size] = '\0';
}

void ZipPart::assign(std::string_view bytes) {
  bytes_.reset(new char[bytes.size() + 1]);
  std::memcpy(bytes_.get(), bytes.data(), bytes.size());
  bytes_[bytes.size()] = '\0';
  size_ = capacity_ = bytes.size();
}

ZipArchive::ZipArchive(const unsigned char* base, std::size_t length) : base_(base), length_(length) {}

ZipArchive::~ZipArchive() {
  unmapFile({base_, length_});
}

std::unique_ptr<ZipArchive> ZipArchive::open(const std::string& path) {
  const MappedBytes mapped = mapWorkbookFile(path);
  std::unique_ptr<ZipArchive> zip(new ZipArchive(mapped.data, mapped.length));
  zip->readDirectory();
  return zip;
}

void ZipArchive::readDirectory() {
  // The end record is the last thing in the file, followed by a comment of up to 64 KiB.
  if (length_ < 22) damaged("ファイルが途中で切れています");
  std::size_t end = std::string::npos;
  const std::size_t lowest = length_ > 22 + 0xFFFF ? length_ - 22 - 0xFFFF : 0;
  for (std::size_t at = length_ - 22;; --at) {
    if (u32(base_ + at) == kEndOfDirectory && at + 22 + u16(base_ + at + 20) <= length_) {
      end = at;
      break;
    }
    if (at == lowest) break;
  }
  if (end == std::string::npos) damaged("中央ディレクトリが見つかりません (ファイルが途中で切れています)");
  std::uint64_t count = u16(base_ + end + 10);
  std::uint64_t directorySize = u32(base_ + end + 12);
  std::uint64_t directoryAt = u32(base_ + end + 16);
  if (end >= 20 && u32(base_ + end - 20) == kZip64Locator) {
    const std::uint64_t record = u64(base_ + end - 20 + 8);
    if (record > length_ - 56 || u32(base_ + record) != kZip64EndOfDirectory) damaged("ZIP64 の終端レコードがありません");
    count = u64(base_ + record + 32);
    directorySize = u64(base_ + record + 40);
    directoryAt = u64(base_ + record + 48);
  }
  if (directoryAt > length_ || directorySize > length_ - directoryAt) {
    damaged("中央ディレクトリがファイルの外を指しています (ファイルが途中で切れています)");
  }
  // Every entry takes at least 46 bytes, so a count that cannot fit is damage, not a reservation.
  if (count > directorySize / 46) damaged("中央ディレクトリの項目数が合いません");
  entries_.reserve(static_cast<std::size_t>(count));
  const unsigned char* p = base_ + directoryAt;
  const unsigned char* const last = p + directorySize;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (last - p < 46 || u32(p) != kDirectoryEntry) damaged("中央ディレクトリの項目 " + std::to_string(i + 1) + " が読めません");
    Entry entry;
    entry.flags = u16(p + 8);
    entry.method = u16(p + 10);
    entry.crc = u32(p + 16);
    entry.compressedSize = u32(p + 20);
    entry.size = u32(p + 24);
    const std::size_t nameLength = u16(p + 28);
    const std::size_t extraLength = u16(p + 30);
    const std::size_t commentLength = u16(p + 32);
    entry.localHeader = u32(p + 42);
    if (static_cast<std::size_t>(last - p) < 46 + nameLength + extraLength + commentLength) {
      damaged("中央ディレクトリの項目 " + std::to_string(i + 1) + " が途中で切れています");
    }
    entry.name.assign(reinterpret_cast<const char*>(p + 46), nameLength);
    // Sizes and offset that do not fit 32 bits sit in the ZIP64 extra field, in this order.
    const unsigned char* extra = p + 46 + nameLength;
    for (std::size_t at = 0; at + 4 <= extraLength;) {
      const std::size_t fieldLength = u16(extra + at + 2);
      if (at + 4 + fieldLength > extraLength) break;
      if (u16(extra + at) == 0x0001) {
        const unsigned char* field = extra + at + 4;
        std::size_t used = 0;
        for (std::uint64_t* value : {&entry.size, &entry.compressedSize, &entry.localHeader}) {
          if (*value != 0xFFFFFFFFu) continue;
          if (used + 8 > fieldLength) damaged("ZIP64 の拡張フィールドが短すぎます");
          *value = u64(field + used);
          used += 8;
        }
      }
      at += 4 + fieldLength;
    }
    p += 46 + nameLength + extraLength + commentLength;
    std::string key = normalized(entry.name);
    const std::size_t index = entries_.size();
    entries_.push_back(std::move(entry));
    if (key.empty() || key.back() == '/') continue;  // a folder
    byFolded_.emplace(folded(key), index);
    byName_.emplace(std::move(key), index);
  }
}

const ZipArchive::Entry* ZipArchive::entry(std::string_view name) const {
  std::string key = normalized(name);
  auto found = byName_.find(key);
  if (found == byName_.end()) found = byFolded_.find(folded(std::move(key)));
  return found == byFolded_.end() ? nullptr : &entries_[found->second];
}

std::optional<ZipPart> ZipArchive::find(std::string_view name) const {
  ZipPart part;
  if (!read(name, part)) return std::nullopt;
  return part;
}

bool ZipArchive::read(std::string_view name, ZipPart& part) const {
  const Entry* entry = this->entry(name);
  if (entry == nullptr) return false;
  const std::string& partName = entry->name;
  auto fail = [&](const std::string& what) -> void { throw WorkbookError("パーツ " + partName + " が壊れています: " + what); };
  if (entry->size > static_cast<std::uint64_t>(kMaxZipPartSize)) {
    throw WorkbookError("パーツ " + partName + " が大きすぎます (" + std::to_string(entry->size) + " バイト、上限は " +
                        std::to_string(kMaxZipPartSize) + " バイト)");
  }
  if (entry->flags & 0x0001) throw WorkbookError("パーツ " + partName + " は暗号化されていて読めません");
  if (entry->method != 0 && entry->method != 8) {
    throw WorkbookError("パーツ " + partName + " の圧縮方式 (" + std::to_string(entry->method) + ") は読めません");
  }
  if (entry->localHeader > length_ || length_ - entry->localHeader < 30 || u32(base_ + entry->localHeader) != kLocalHeader) {
    fail("ローカルヘッダーが見つかりません (ファイルが途中で切れています)");
  }
  const unsigned char* header = base_ + entry->localHeader;
  const std::uint64_t dataAt = entry->localHeader + 30 + u16(header + 26) + u16(header + 28);
  if (dataAt > length_ || entry->compressedSize > length_ - dataAt) fail("データが途中で切れています");
  const unsigned char* data = base_ + dataAt;
  part.reset(partName, static_cast<std::size_t>(entry->size));
  auto* out = reinterpret_cast<unsigned char*>(part.data());
  auto checked = [&] {
    if (libdeflate_crc32(0, out, part.size()) != entry->crc) fail("チェックサム (CRC) が合いません");
    return true;
  };
  if (entry->method == 0) {
    if (entry->compressedSize != entry->size) fail("格納サイズと展開サイズが合いません");
    std::memcpy(out, data, part.size());
  } else {
    // Parts are capped far below zlib's 32-bit counters; more input than that is damage.
    if (entry->compressedSize > std::numeric_limits<uInt>::max()) fail("圧縮サイズが大きすぎます");
    // libdeflate inflates a whole part at twice zlib's speed or more; when it fails, zlib
    // reads the part again to say how (cut short, damaged, another size than recorded).
    std::size_t produced = 0;
    libdeflate_decompressor* fast = decompressor();
    if (fast != nullptr &&
        libdeflate_deflate_decompress(fast, data, static_cast<std::size_t>(entry->compressedSize), out, part.size(),
                                      &produced) == LIBDEFLATE_SUCCESS &&
        produced == part.size()) {
      return checked();
    }
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw WorkbookError("展開の準備ができません");
    stream.next_in = const_cast<unsigned char*>(data);
    stream.avail_in = static_cast<uInt>(entry->compressedSize);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(part.size());
    const int status = inflate(&stream, Z_FINISH);
    const bool full = stream.avail_out == 0;
    const bool consumed = stream.avail_in == 0;
    inflateEnd(&stream);
    if (status == Z_DATA_ERROR || status == Z_MEM_ERROR || status == Z_NEED_DICT) fail("圧縮データが壊れています");
    if ((status == Z_STREAM_END && !full) || (status == Z_BUF_ERROR && full && !consumed)) {
      fail("展開したサイズが記録 (" + std::to_string(entry->size) + " バイト) と合いません");
    }
    if (status != Z_STREAM_END) fail("圧縮データが途中で切れています");
  }
  return checked();
}

}  // namespace morvane::platform
