#pragma once
// Read-only access to the parts of a zip archive (an .xlsx package): the central directory is
// read once, and a part is inflated whole into one buffer with its size and checksum checked.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvane::platform {

// What one part may inflate to. A real worksheet of a design document is a few hundred KiB;
// anything declaring more than this is a decompression bomb or damage.
inline constexpr std::int64_t kMaxZipPartSize = std::int64_t{256} << 20;

// One inflated part. The bytes are followed by a NUL that is not part of them.
class ZipPart {
 public:
  ZipPart() = default;
  ZipPart(std::string name, std::size_t size);
  // Makes room for `size` bytes, keeping the buffer when it is big enough.
  void reset(const std::string& name, std::size_t size);
  const std::string& name() const { return name_; }
  char* data() { return bytes_.get(); }
  const char* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {bytes_.get(), size_}; }
  // Replaces the bytes (for a part re-encoded to UTF-8).
  void assign(std::string_view bytes);

 private:
  std::string name_;
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class ZipArchive {
 public:
  // Throws WorkbookOpenError with the reason when the file is no zip archive or its directory
  // is damaged or cut short.
  static std::unique_ptr<ZipArchive> open(const std::string& path);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Whether a part of that package path exists. Entries written with backslashes and names in
  // another letter case than asked for count as the same part.
  bool contains(std::string_view name) const { return entry(name) != nullptr; }

  // The inflated part at a package path ("xl/workbook.xml"); nothing when there is no such
  // file. Throws WorkbookError naming the part when it is over kMaxZipPartSize, encrypted,
  // compressed in a way not read, cut short, or its data, size or checksum are wrong.
  std::optional<ZipPart> find(std::string_view name) const;
  // The same into a part whose buffer is reused; false when there is no such file.
  bool read(std::string_view name, ZipPart& into) const;

 private:
  struct Entry {
    std::string name;  // as stored, for messages
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localHeader = 0;
    std::uint32_t crc = 0;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
  };

  ZipArchive(const unsigned char* base, std::size_t length);
  void readDirectory();
  const Entry* entry(std::string_view name) const;

  const unsigned char* base_;  // the file, in memory
  std::size_t length_;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> byName_;    // normalized name -> entry
  std::unordered_map<std::string, std::size_t> byFolded_;  // same, in lower case
};

}  // namespace morvane::platform
