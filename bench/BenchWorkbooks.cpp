#include "bench/BenchWorkbooks.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace morvane::bench {
namespace {

const char* const kTypes[] = {"int", "varchar", "char", "decimal", "日付", "通貨", "identity", "float"};

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::string benchSheetName(int n) {
  std::string name = "T";
  name += std::to_string(n);
  return name;
}

std::vector<BenchCell> benchSheetCells(int n) {
  std::vector<BenchCell> cells;
  cells.push_back({3, 2, "テーブル名"});
  cells.push_back({3, 3, "テーブル" + std::to_string(n)});
  const char* headings[] = {"フィールド名", "型", "サイズ", "主キー", "備考", "NULL"};
  for (int c = 0; c < 6; ++c) cells.push_back({5, 4 + c, headings[c]});
  for (int i = 0; i < kBenchFields; ++i) {
    const int row = 6 + i;
    const std::string type = kTypes[(n + i) % 8];
    cells.push_back({row, 4, "項目" + std::to_string(n) + "_" + std::to_string(i + 1)});
    cells.push_back({row, 5, type});
    if (type == "decimal") {
      cells.push_back({row, 6, "10,2"});
    } else if (type == "varchar" || type == "char") {
      cells.push_back({row, 6, std::to_string(10 + i), true});
    }
    if (i < 2) cells.push_back({row, 7, "○"});
    if (i % 5 == 0) cells.push_back({row, 8, "備考" + std::to_string(i)});
    if (i % 3 == 1) cells.push_back({row, 9, "○"});
  }
  return cells;
}

clsExcelDBDocInfo benchLayout(int sheets) {
  clsExcelDBDocInfo layout;
  layout.sbSetPage(1, sheets);
  return layout;
}

void writeBenchXlsx(const std::string& path, int sheets) {
  lxw_workbook* book = workbook_new(path.c_str());
  if (book == nullptr) throw std::runtime_error("cannot create " + path);
  for (int n = 1; n <= sheets; ++n) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, benchSheetName(n).c_str());
    for (const auto& cell : benchSheetCells(n)) {
      const auto row = static_cast<lxw_row_t>(cell.row - 1);
      const auto col = static_cast<lxw_col_t>(cell.col - 1);
      if (cell.number) {
        worksheet_write_number(sheet, row, col, std::stod(cell.text), nullptr);
      } else {
        worksheet_write_string(sheet, row, col, cell.text.c_str(), nullptr);
      }
    }
  }
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

std::string benchDirectory() {
  if (const char* kept = std::getenv("MORVANE_BENCH_DIR"); kept != nullptr && *kept != '\0') {
    std::filesystem::create_directories(kept);
    return kept;
  }
  static TempFolder folder;
  return folder.path();
}

void writeInChild(void (*write)(const std::string&, int), const std::string& path, int sheets) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    try {
      write(path, sheets);
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("writing " + path + " failed");
}

double peakResidentMiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace morvane::bench
