#include "tests/support/BiffWriter.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace morvane::test {
namespace {

std::string le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
std::string le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }

std::string record(std::uint16_t type, const std::string& body) {
  return le16(type) + le16(static_cast<unsigned>(body.size())) + body;
}

// A text as its count, the option byte and 16-bit characters.
std::string unicode(const std::string& utf8, bool longCount) {
  glong count = 0;
  gunichar2* units = g_utf8_to_utf16(utf8.data(), static_cast<glong>(utf8.size()), nullptr, &count, nullptr);
  if (!units) throw std::logic_error("not UTF-8: " + utf8);
  const std::string bytes(reinterpret_cast<const char*>(units), 2 * static_cast<std::size_t>(count));
  g_free(units);
  const auto n = static_cast<unsigned>(count);
  return (longCount ? le16(n) : std::string(1, static_cast<char>(n))) + '\x01' + bytes;
}

std::string bof(std::uint16_t kind) {
  return record(0x0809, le16(0x0600) + le16(kind) + le16(0x0DBB) + le16(0x07CC) + le32(0) + le32(6));
}

}  // namespace

std::size_t BiffWriter::addSheet(const std::string& name) {
  sheets_.emplace_back(name, "");
  return sheets_.size() - 1;
}

void BiffWriter::labelSst(std::size_t sheet, int row, int col, const std::string& text) {
  sheets_.at(sheet).second +=
      record(0x00FD, le16(row) + le16(col) + le16(0) + le32(static_cast<unsigned>(strings_.size())));
  strings_.push_back(text);
}

std::string BiffWriter::stream() const {
  // The shared string table, going on in a CONTINUE record where a string would not fit.
  const auto count = static_cast<unsigned>(strings_.size());
  std::string table, current = le32(count) + le32(count);
  for (const std::string& text : strings_) {
    const std::string string = unicode(text, true);
    if (current.size() + string.size() > 8224) {
      table += record(table.empty() ? 0x00FC : 0x003C, current);
      current.clear();
    }
    current += string;
  }
  table += record(table.empty() ? 0x00FC : 0x003C, current);
  auto globals = [&](unsigned offset) {
    std::string out = bof(0x0005) + record(0x0042, le16(1200)) + record(0x00E0, std::string(20, '\0'));
    for (const auto& [name, cells] : sheets_) {
      out += record(0x0085, le32(offset) + std::string(2, '\0') + unicode(name, false));
      offset += static_cast<unsigned>(bof(0x0010).size() + cells.size() + 4);
    }
    return out + table + record(0x000A, {});
  };
  std::string out = globals(static_cast<unsigned>(globals(0).size()));
  for (const auto& [name, cells] : sheets_) out += bof(0x0010) + cells + record(0x000A, {});
  return out;
}

void BiffWriter::save(const std::string& path) const {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!(file << bytes())) throw std::runtime_error("cannot write " + path);
}

std::string BiffWriter::compoundFile(const std::vector<std::pair<std::string, std::string>>& streams) {
  gsf_init();
  std::unique_ptr<GsfOutput, void (*)(void*)> sink(gsf_output_memory_new(), g_object_unref);
  GsfOutfile* ole = gsf_outfile_msole_new(sink.get());
  for (const auto& [name, bytes] : streams) {
    GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
    gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  return {reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()))),
          static_cast<std::size_t>(gsf_output_size(sink.get()))};
}

}  // namespace morvane::test
