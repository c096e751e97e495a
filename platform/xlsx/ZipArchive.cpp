#include "platform/xlsx/ZipArchive.h"

#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace detail {

void GObjectUnref::operator()(void* object) const {
  if (object != nullptr) g_object_unref(object);
}

}  // namespace detail

namespace {

void initGsf() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

}  // namespace

ZipPart::ZipPart(GsfInput* input, std::string name)
    : input_(input), name_(std::move(name)), size_(gsf_input_size(input)) {}

std::size_t ZipPart::read(char* buffer, std::size_t capacity) {
  const gsf_off_t remaining = gsf_input_remaining(input_.get());
  if (remaining <= 0 || capacity == 0) return 0;
  const std::size_t count = static_cast<std::size_t>(std::min<gsf_off_t>(remaining, static_cast<gsf_off_t>(capacity)));
  if (gsf_input_read(input_.get(), count, reinterpret_cast<guint8*>(buffer)) == nullptr) {
    throw WorkbookError("圧縮されたパーツ " + name_ + " が壊れています");
  }
  return count;
}

std::string ZipPart::readAll() {
  std::string bytes(static_cast<std::size_t>(size_), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t got = read(bytes.data() + done, bytes.size() - done);
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

ZipArchive::ZipArchive(GsfInfile* infile) : infile_(infile) {}

std::unique_ptr<ZipArchive> ZipArchive::open(const std::string& path) {
  initGsf();
  GError* rawError = nullptr;
  GsfInput* file = gsf_input_stdio_new(path.c_str(), &rawError);
  std::unique_ptr<GError, ErrorFree> openError(rawError);
  if (file == nullptr) return nullptr;
  std::unique_ptr<GsfInput, detail::GObjectUnref> source(file);
  rawError = nullptr;
  GsfInfile* zip = gsf_infile_zip_new(source.get(), &rawError);
  std::unique_ptr<GError, ErrorFree> zipError(rawError);
  if (zip == nullptr) return nullptr;
  return std::unique_ptr<ZipArchive>(new ZipArchive(zip));
}

std::optional<ZipPart> ZipArchive::find(const std::string& name) const {
  std::vector<std::string> segments;
  for (std::size_t start = 0; start <= name.size();) {
    const auto slash = std::min(name.find('/', start), name.size());
    if (slash > start) segments.push_back(name.substr(start, slash - start));
    start = slash + 1;
  }
  if (segments.empty()) return std::nullopt;
  std::vector<const char*> names;
  for (const auto& segment : segments) names.push_back(segment.c_str());
  names.push_back(nullptr);
  GsfInput* child = gsf_infile_child_by_aname(infile_.get(), names.data());
  if (child == nullptr) return std::nullopt;
  ZipPart part(child, name);
  // A folder is no part.
  if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) return std::nullopt;
  if (part.size() < 0 || part.size() > kMaxZipPartSize) {
    throw WorkbookError("パーツ " + name + " が大きすぎます (" + std::to_string(part.size()) + " バイト)");
  }
  return part;
}

}  // namespace morvane::platform
