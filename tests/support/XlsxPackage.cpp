#include "tests/support/XlsxPackage.h"

#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>
#include <xlsxwriter.h>

#include <memory>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace morvane::test {
namespace {

const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

struct Unref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

void check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("writing a test zip failed: " + what);
}

std::string relationship(const std::string& id, const std::string& type, const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kRelNs + "/" + type + "\" Target=\"" + target + "\"/>";
}

const std::string kRelsHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                              "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";

}  // namespace

XlsxWriterBook::XlsxWriterBook(const std::string& path, bool constantMemory) {
  lxw_workbook_options options = {};
  options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
  book_ = workbook_new_opt(path.c_str(), &options);
  if (book_ == nullptr) throw std::runtime_error("libxlsxwriter cannot create " + path);
}

XlsxWriterBook::~XlsxWriterBook() {
  if (book_ != nullptr) workbook_close(book_);
}

lxw_worksheet* XlsxWriterBook::addSheet(const std::string& name) {
  lxw_worksheet* sheet = workbook_add_worksheet(book_, name.empty() ? nullptr : name.c_str());
  if (sheet == nullptr) throw std::runtime_error("libxlsxwriter cannot add sheet " + name);
  return sheet;
}

lxw_format* XlsxWriterBook::numberFormat(const std::string& code) {
  lxw_format* format = workbook_add_format(book_);
  format_set_num_format(format, code.c_str());
  return format;
}

void XlsxWriterBook::close() {
  const lxw_error status = workbook_close(book_);
  book_ = nullptr;
  if (status != LXW_NO_ERROR) throw std::runtime_error(std::string("libxlsxwriter: ") + lxw_strerror(status));
}

void writeCell(lxw_worksheet* sheet, const std::string& ref, const std::string& text) {
  const lxw_row_t row = lxw_name_to_row(ref.c_str());
  const lxw_col_t col = lxw_name_to_col(ref.c_str());
  std::size_t used = 0;
  try {
    const double number = std::stod(text, &used);
    if (used == text.size() && text.find_first_of(" \t") == std::string::npos) {
      worksheet_write_number(sheet, row, col, number, nullptr);
      return;
    }
  } catch (const std::exception&) {
  }
  worksheet_write_string(sheet, row, col, text.c_str(), nullptr);
}

std::string zipBytes(const ZipParts& parts) {
  gsf_init();
  GPtr<GsfOutput> memory(gsf_output_memory_new());
  GPtr<GsfOutfile> zip(gsf_outfile_zip_new(memory.get(), nullptr));
  check(zip != nullptr, "zip");
  for (const auto& [name, bytes] : parts) {
    GPtr<GsfOutput> child(gsf_outfile_new_child_full(zip.get(), name.c_str(), FALSE, "compression-level",
                                                     GSF_ZIP_DEFLATED, nullptr));
    check(child && gsf_output_write(child.get(), bytes.size(), reinterpret_cast<const guint8*>(bytes.data())),
          name);
    check(gsf_output_close(child.get()), name);
  }
  check(gsf_output_close(GSF_OUTPUT(zip.get())), "zip");
  return {reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()))),
          static_cast<std::size_t>(gsf_output_size(memory.get()))};
}

void writeZip(const std::string& path, const ZipParts& parts) { writeBytes(path, zipBytes(parts)); }

std::string worksheetXml(const std::string& sheetData) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"") +
         kMainNs + "\" xmlns:r=\"" + kRelNs + "\"><sheetData>" + sheetData + "</sheetData></worksheet>";
}

ZipParts HandPackage::parts() const {
  ZipParts parts = {{"[Content_Types].xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"rels\" "
                     "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"},
                    {"_rels/.rels", kRelsHead + relationship("rId1", "officeDocument", "xl/workbook.xml") +
                                        "</Relationships>"}};
  std::string sheetList, rels;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    sheetList += "<sheet name=\"Sheet" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += relationship("rId" + n, "worksheet", "worksheets/sheet" + n + ".xml");
    parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i]);
  }
  parts.emplace_back("xl/workbook.xml",
                     std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"") + kMainNs +
                         "\" xmlns:r=\"" + kRelNs + "\"><sheets>" + sheetList + "</sheets></workbook>");
  parts.emplace_back("xl/_rels/workbook.xml.rels", kRelsHead + rels + "</Relationships>");
  return parts;
}

}  // namespace morvane::test
