#pragma once
// Read-only access to the parts of a zip archive (an .xlsx package) through libgsf.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

typedef struct _GsfInput GsfInput;
typedef struct _GsfInfile GsfInfile;

namespace morvane::platform {

// What one part may inflate to. A real worksheet of a design document is a few hundred KiB;
// anything declaring more than this is a decompression bomb or damage.
inline constexpr std::int64_t kMaxZipPartSize = std::int64_t{256} << 20;

namespace detail {
struct GObjectUnref {
  void operator()(void* object) const;
};
}  // namespace detail

// One part, read front to back. Never yields more than the size the archive declares.
class ZipPart {
 public:
  ZipPart(GsfInput* input, std::string name);
  const std::string& name() const { return name_; }
  std::int64_t size() const { return size_; }
  // Up to `capacity` bytes into `buffer`; 0 at the end. Throws WorkbookError when the
  // compressed data is damaged.
  std::size_t read(char* buffer, std::size_t capacity);
  std::string readAll();

 private:
  std::unique_ptr<GsfInput, detail::GObjectUnref> input_;
  std::string name_;
  std::int64_t size_ = 0;
};

class ZipArchive {
 public:
  // Null when the file cannot be read or is not a zip archive.
  static std::unique_ptr<ZipArchive> open(const std::string& path);

  // The part at a package path ("xl/workbook.xml"); nothing when there is no such file.
  // Throws WorkbookError when the part declares more than kMaxZipPartSize bytes.
  std::optional<ZipPart> find(const std::string& name) const;

 private:
  explicit ZipArchive(GsfInfile* infile);
  std::unique_ptr<GsfInfile, detail::GObjectUnref> infile_;
};

}  // namespace morvane::platform
