#include "tests/support/XlsxPackage.h"

#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>
#include <xlsxwriter.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace morvane::test {
namespace {

const std::string kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const std::string kRelsHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                              "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";

std::string relationship(const std::string& id, const std::string& type, const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kRelNs + "/" + type + "\" Target=\"" + target + "\"/>";
}

// The bytes of a zip archive holding the given entries.
std::string zipBytes(const ZipParts& entries) {
  gsf_init();
  std::unique_ptr<GsfOutput, void (*)(void*)> memory(gsf_output_memory_new(), g_object_unref);
  GsfOutfile* out = gsf_outfile_zip_new(memory.get(), nullptr);
  bool ok = out != nullptr;
  for (const auto& [name, bytes] : entries) {
    GsfOutput* child =
        gsf_outfile_new_child_full(out, name.c_str(), FALSE, "compression-level", GSF_ZIP_DEFLATED, nullptr);
    ok = ok && child && gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data())) &&
         gsf_output_close(child);
    if (child) g_object_unref(child);
  }
  ok = ok && gsf_output_close(GSF_OUTPUT(out));
  if (out) g_object_unref(out);
  if (!ok) throw std::runtime_error("writing a test archive failed");
  return {reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()))),
          static_cast<std::size_t>(gsf_output_size(memory.get()))};
}

}  // namespace

XlsxWriterBook::XlsxWriterBook(const std::string& path) : book_(workbook_new(path.c_str())) {
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

void XlsxWriterBook::close() {
  const lxw_error status = workbook_close(book_);
  book_ = nullptr;
  if (status != LXW_NO_ERROR) throw std::runtime_error(std::string("libxlsxwriter: ") + lxw_strerror(status));
}

void writeCell(lxw_worksheet* sheet, const std::string& ref, const std::string& text) {
  const lxw_row_t row = lxw_name_to_row(ref.c_str());
  const lxw_col_t col = lxw_name_to_col(ref.c_str());
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (!text.empty() && *end == '\0' && text.find_first_of(" \t") == std::string::npos) {
    worksheet_write_number(sheet, row, col, number, nullptr);
  } else {
    worksheet_write_string(sheet, row, col, text.c_str(), nullptr);
  }
}

void writeZip(const std::string& path, const ZipParts& parts) { writeBytes(path, zipBytes(parts)); }

std::string worksheetXml(const std::string& sheetData) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" + kMainNs +
         "\" xmlns:r=\"" + kRelNs + "\"><sheetData>" + sheetData + "</sheetData></worksheet>";
}

ZipParts HandPackage::parts() const {
  ZipParts parts = {  // no [Content_Types].xml: the reader never looks at it
      {"_rels/.rels", kRelsHead + relationship("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>"}};
  std::string sheetList, rels;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    sheetList += "<sheet name=\"Sheet" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += relationship("rId" + n, "worksheet", "worksheets/sheet" + n + ".xml");
    parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i]);
  }
  parts.emplace_back("xl/workbook.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"" + kMainNs +
                                            "\" xmlns:r=\"" + kRelNs + "\"><sheets>" + sheetList +
                                            "</sheets></workbook>");
  parts.emplace_back("xl/_rels/workbook.xml.rels", kRelsHead + rels + "</Relationships>");
  return parts;
}

}  // namespace morvane::test
