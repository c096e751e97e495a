#include "tests/support/XlsxPackage.h"

#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <xlsxwriter.h>

#include <memory>
#include <stdexcept>

namespace morvane::test {
namespace {

struct Unref {
  void operator()(void* object) const {
    if (object != nullptr) g_object_unref(object);
  }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

void check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("writing a test zip failed: " + what);
}

// Writes the parts; the huge one, when named, gets `head` followed by filler up to `size`.
void writeParts(const std::string& path, const ZipParts& parts, const std::string& hugeName,
                const std::string& head, char filler, std::int64_t size) {
  gsf_init();
  GPtr<GsfOutput> file(gsf_output_stdio_new(path.c_str(), nullptr));
  check(file != nullptr, path);
  GPtr<GsfOutfile> zip(gsf_outfile_zip_new(file.get(), nullptr));
  check(zip != nullptr, path);
  auto writePart = [&](const std::string& name, const std::string& bytes, std::int64_t fillTo) {
    GPtr<GsfOutput> child(gsf_outfile_new_child_full(zip.get(), name.c_str(), FALSE, "compression-level",
                                                     GSF_ZIP_DEFLATED, nullptr));
    check(child != nullptr && gsf_output_write(child.get(), bytes.size(), reinterpret_cast<const guint8*>(bytes.data())),
          name);
    const std::string chunk(1 << 20, filler);
    for (std::int64_t left = fillTo - static_cast<std::int64_t>(bytes.size()); left > 0; left -= 1 << 20) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, 1 << 20));
      check(gsf_output_write(child.get(), n, reinterpret_cast<const guint8*>(chunk.data())), name);
    }
    check(gsf_output_close(child.get()), name);
  };
  for (const auto& [name, content] : parts) writePart(name, content, 0);
  if (!hugeName.empty()) writePart(hugeName, head, size);
  check(gsf_output_close(GSF_OUTPUT(zip.get())), path);
  zip.reset();
  gsf_output_close(file.get());
}

std::string relationship(const std::string& id, const std::string& type, const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + std::string(kRelNs) + "/" + type + "\" Target=\"" + target +
         "\"/>";
}

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
    if (used == text.size() && !text.empty() && text.find_first_of(" \t") == std::string::npos) {
      worksheet_write_number(sheet, row, col, number, nullptr);
      return;
    }
  } catch (const std::exception&) {
  }
  worksheet_write_string(sheet, row, col, text.c_str(), nullptr);
}

void writeZip(const std::string& path, const ZipParts& parts) { writeParts(path, parts, "", "", ' ', 0); }

void writeZipWithHugePart(const std::string& path, const ZipParts& parts, const std::string& hugeName,
                          const std::string& head, char filler, std::int64_t size) {
  writeParts(path, parts, hugeName, head, filler, size);
}

std::string worksheetXml(const std::string& sheetData) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"") + kMainNs +
         "\" xmlns:r=\"" + kRelNs + "\"><sheetData>" + sheetData + "</sheetData></worksheet>";
}

ZipParts HandPackage::parts() const {
  ZipParts parts;
  std::string types =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
  parts.emplace_back("[Content_Types].xml", types);
  parts.emplace_back("_rels/.rels",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
                         relationship("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>");
  std::string sheetList;
  std::string rels;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    sheetList += "<sheet name=\"Sheet" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += relationship("rId" + n, "worksheet", "worksheets/sheet" + n + ".xml");
    parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i]);
  }
  if (!sharedStrings.empty()) {
    rels += relationship("rIdS", "sharedStrings", "sharedStrings.xml");
    parts.emplace_back("xl/sharedStrings.xml", sharedStrings);
  }
  if (!styles.empty()) {
    rels += relationship("rIdT", "styles", "styles.xml");
    parts.emplace_back("xl/styles.xml", styles);
  }
  parts.emplace_back("xl/workbook.xml", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"") +
                                            kMainNs + "\" xmlns:r=\"" + kRelNs + "\">" + workbookPr + "<sheets>" +
                                            sheetList + "</sheets></workbook>");
  parts.emplace_back("xl/_rels/workbook.xml.rels",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
                         rels + "</Relationships>");
  return parts;
}

std::string& part(ZipParts& parts, const std::string& name) {
  for (auto& [partName, content] : parts) {
    if (partName == name) return content;
  }
  parts.emplace_back(name, "");
  return parts.back().second;
}

}  // namespace morvane::test
