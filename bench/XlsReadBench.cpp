// Reading a large .xls design document into the model: 300 table sheets of 99 fields.
// The workbook is written once, as the spreadsheet saves one, and kept at the printed path, so
// bench/compare_peers.py can time the other readers on the very same file.
#include <benchmark/benchmark.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "document/clsExcelDBDoc.h"
#include "bench/BenchWorkbooks.h"
#include "document/clsExcelDBDocInfo.h"
#include "platform/text/Utf8.h"

namespace {

constexpr int kSheets = 300;
constexpr int kFields = 99;

std::string le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
std::string le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }
std::string record(unsigned type, const std::string& body) { return le16(type) + le16(body.size()) + body; }
std::string bof(unsigned kind) { return record(0x0809, le16(0x0600) + le16(kind) + le16(0x0DBB) + le16(1996) + le32(0) + le32(6)); }

// UTF-16LE of the benchmark's texts (none beyond the BMP).
std::string utf16(const std::string& utf8) {
  std::string out;
  char32_t code = 0;
  for (std::size_t i = 0, n = 0; i < utf8.size(); i += n) {
    n = morvane::platform::decodeUtf8(std::string_view(utf8).substr(i), code);
    if (n == 0) std::abort();  // the texts below are all valid UTF-8
    out += le16(code);
  }
  return out;
}

// One sheet's cells: texts (kept once each in the shared string table) and whole numbers (RK records),
// as the spreadsheet saves a design document.
struct BenchSheet {
  std::string name;
  std::vector<std::tuple<int, int, std::string>> texts;
  std::vector<std::tuple<int, int, int>> numbers;
};

std::string workbookStream(const std::vector<BenchSheet>& sheets) {
  std::map<std::string, unsigned> indexes;
  std::vector<std::string> strings;  // the table's records: SST, then CONTINUE at string boundaries
  std::string current;
  unsigned total = 0;
  for (const auto& sheet : sheets) {
    for (const auto& [row, col, text] : sheet.texts) {
      ++total;
      if (!indexes.emplace(text, indexes.size()).second) continue;
      const std::string units = utf16(text), entry = le16(units.size() / 2) + '\x01' + units;
      if (current.size() + entry.size() > 8224 - (strings.empty() ? 8 : 0)) {
        strings.push_back(current);
        current.clear();
      }
      current += entry;
    }
  }
  strings.push_back(current);
  std::string sst = record(0x00FC, le32(total) + le32(indexes.size()) + strings[0]);
  for (std::size_t i = 1; i < strings.size(); ++i) sst += record(0x003C, strings[i]);
  std::size_t globals = bof(0x0005).size() + sst.size() + 4;
  for (const auto& sheet : sheets) globals += 4 + 8 + utf16(sheet.name).size();
  std::string sheetList, body;
  for (const auto& sheet : sheets) {
    const std::string name = utf16(sheet.name);
    sheetList += record(0x0085, le32(globals + body.size()) + le16(0) + static_cast<char>(name.size() / 2) + '\x01' + name);
    body += bof(0x0010);
    for (const auto& [row, col, text] : sheet.texts) body += record(0x00FD, le16(row) + le16(col) + le16(0) + le32(indexes[text]));
    for (const auto& [row, col, value] : sheet.numbers) body += record(0x027E, le16(row) + le16(col) + le16(0) + le32(value << 2 | 2));
    body += record(0x000A, {});
  }
  return bof(0x0005) + sheetList + sst + record(0x000A, {}) + body;
}

// The stream as the one "Workbook" stream of a compound file, through libgsf.
bool writeCompoundFile(const std::string& path, const std::string& stream) {
  gsf_init();
  GsfOutput* file = gsf_output_stdio_new(path.c_str(), nullptr);
  GsfOutfile* ole = file ? gsf_outfile_msole_new(file) : nullptr;
  GsfOutput* child = ole ? gsf_outfile_new_child(ole, "Workbook", FALSE) : nullptr;
  bool ok = child && gsf_output_write(child, stream.size(), reinterpret_cast<const guint8*>(stream.data())) &&
            gsf_output_close(child);
  ok = ole && gsf_output_close(GSF_OUTPUT(ole)) && ok;
  for (void* object : {static_cast<void*>(child), static_cast<void*>(ole), static_cast<void*>(file)}) {
    if (object) g_object_unref(object);
  }
  return ok;
}

// Written once per run and kept, so bench/compare_peers.py can time the other readers on the
// very same file: morvane-bench-300x99.xls beside the .xlsx in $MORVANE_BENCH_DIR.
std::string benchWorkbook(int sheets) {
  static std::map<int, std::string> written;
  auto& path = written[sheets];
  if (!path.empty()) return path;
  path = morvane::bench::benchDirectory() + "/morvane-bench-" + std::to_string(sheets) + "x99.xls";
  std::vector<BenchSheet> book;
  for (int s = 0; s < sheets; ++s) {
    const std::string table = "テーブル" + std::to_string(s + 1);
    // Table name in J1, fields from row 1 to row 99 in columns D to I.
    auto& sheet = book.emplace_back(BenchSheet{table, {{0, 9, table}}, {}});
    for (int r = 0; r < kFields; ++r) {
      sheet.texts.emplace_back(r, 3, "フィールド" + std::to_string(s + 1) + "_" + std::to_string(r + 1));
      sheet.texts.emplace_back(r, 4, r % 3 ? "varchar" : "int");
      sheet.numbers.emplace_back(r, 5, r + 10);
      if (r == 0) sheet.texts.emplace_back(r, 6, "○");
      sheet.texts.emplace_back(r, 7, "備考の文字列");
      if (r % 2) sheet.texts.emplace_back(r, 8, "○");
    }
  }
  if (!writeCompoundFile(path, workbookStream(book))) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fprintf(stderr, "benchmark workbook: %s\n", path.c_str());
  return path;
}

long peakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// 300 sheets, and 3,000 to show that time and memory grow with the sheets, no faster.
void BM_ReadXlsDesignDocument(benchmark::State& state) {
  const int sheets = static_cast<int>(state.range(0));
  const std::string path = benchWorkbook(sheets);
  morvane::clsExcelDBDocInfo layout;
  layout.sbSetPage(1, sheets);
  layout.sbSetTableNmPos(1, 10);
  layout.sbSetFieldPos(1);
  layout.sbSetFieldDefPos(4, 5, 6, 7, 9);
  // Forget the peak of writing the workbook: only reading counts.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = peakRssKb();
  std::size_t fields = 0;
  for (auto _ : state) {
    morvane::clsExcelDBDoc reader;
    reader.sbSetDocInfo(layout);
    if (!reader.fnReadDBDoc(path)) state.SkipWithError("cannot open the benchmark workbook");
    fields = 0;
    for (const auto& table : reader.getDBInfo().getTables()) fields += table->getFields().size();
    benchmark::DoNotOptimize(fields);
  }
  state.counters["fields"] = static_cast<double>(fields);
  state.counters["peak_rss_mb"] = static_cast<double>(peakRssKb()) / 1024.0;
  state.counters["rss_before_mb"] = static_cast<double>(before) / 1024.0;
}
BENCHMARK(BM_ReadXlsDesignDocument)->Arg(kSheets)->Arg(10 * kSheets)->Unit(benchmark::kMillisecond);

}  // namespace
