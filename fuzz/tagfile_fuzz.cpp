// Feeds arbitrary bytes to the tag file reader, the layout file and the type notation file, and
// checks that any single-line value the writer accepts reads back unchanged.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/LayoutFile.h"
#include "model/clsHash.h"
#include "model/clsXML.h"
#include "platform/text/Cp932.h"
#include "sqlserver/TypeNotationFile.h"

namespace {

std::string tempFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/tagfile_fuzz-XXXXXX";
    if (!::mkdtemp(pattern)) std::abort();
    std::string made(pattern);
    static const std::string keep = made;
    std::atexit([] {
      ::unlink((keep + "/in").c_str());
      ::unlink((keep + "/out").c_str());
      ::rmdir(keep.c_str());
    });
    return made;
  }();
  return folder;
}

void writeAll(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

void checkRoundTrip(const std::string& value, const std::string& path) {
  const std::string key = "k";
  if (value.find_first_of("\r\n") != std::string::npos) return;
  if (value.find("<k>") != std::string::npos || value.find("</k>") != std::string::npos) return;
  if (!morvane::platform::fitsCp932(value)) return;
  // Written with its tags and line end, the value must fit a setting file (code page 932 is
  // never longer than UTF-8).
  if (value.size() + 16 > morvane::clsXML::kMaxFileBytes) return;
  morvane::clsHash hash;
  hash.Add(key, value);
  if (!hash.fnSaveFileAsXml(path)) return;
  morvane::clsXML reader;
  if (!reader.fnReadFile(path)) std::abort();
  if (reader.fnTagData("<k>", "</k>") != value) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string folder = tempFolder();
  const std::string in = folder + "/in";
  writeAll(in, data, size);
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  morvane::clsXML reader;
  if (reader.fnReadFile(in)) {
    reader.fnTagData("<StartSheetNo>", "</StartSheetNo>");
    reader.fnTagData("<a>", "</a>");
    reader.fnTagData("", "");
    // Tags made from the input itself: its first two lines, and a key inside the first '<'..'>'.
    const auto firstEnd = bytes.find('\n');
    const std::string first = bytes.substr(0, std::min<std::size_t>(firstEnd, 64));
    const std::string second = firstEnd == std::string::npos ? "" : bytes.substr(firstEnd + 1, 64);
    reader.fnTagData(first, second);
    reader.fnTagData(second, first);
    const auto open = bytes.find('<');
    const auto close = bytes.find('>', open == std::string::npos ? 0 : open);
    if (open != std::string::npos && close != std::string::npos) {
      const std::string key = bytes.substr(open + 1, close - open - 1);
      reader.fnTagData("<" + key + ">", "</" + key + ">");
    }
    morvane::clsSQLServerFieldAttr types;
    try {
      morvane::sbReadDataType(reader, types);
    } catch (const morvane::TypeNotationError&) {
    }
  }
  morvane::clsExcelDBDocInfo layout;
  try {
    layout.fnReadFile(in);
  } catch (const morvane::LayoutFileError&) {
  }
  checkRoundTrip(bytes, folder + "/out");
  return 0;
}
