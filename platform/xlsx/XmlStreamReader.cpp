#include "platform/xlsx/XmlStreamReader.h"

#include <libxml/xmlreader.h>

#include <cstring>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_COMPACT |
                              XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

const char* text(const xmlChar* value) { return value ? reinterpret_cast<const char*>(value) : ""; }

std::optional<std::string> owned(xmlChar* value) {
  if (value == nullptr) return std::nullopt;
  std::string copy(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return copy;
}

// Keeps the first message of a failed parse instead of printing it.
void onError(void* context, xmlErrorPtr error) {
  auto& message = *static_cast<std::string*>(context);
  if (!message.empty() || error == nullptr || error->message == nullptr) return;
  message = error->message;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  message += " (" + std::to_string(error->line) + "行目)";
}

}  // namespace

XmlStreamReader::XmlStreamReader(ZipPart part)
    : part_(std::move(part)), reader_(nullptr, xmlFreeTextReader) {
  reader_.reset(xmlReaderForIO(&XmlStreamReader::readCallback, nullptr, this, part_.name().c_str(), nullptr,
                               kParseOptions));
  if (!reader_) fail("XMLとして読めません");
  xmlTextReaderSetStructuredErrorHandler(reader_.get(), onError, &error_);
}

XmlStreamReader::~XmlStreamReader() = default;

int XmlStreamReader::readCallback(void* context, char* buffer, int length) {
  auto* self = static_cast<XmlStreamReader*>(context);
  try {
    return static_cast<int>(self->part_.read(buffer, static_cast<std::size_t>(length)));
  } catch (const WorkbookError& error) {
    if (self->error_.empty()) self->error_ = error.what();
    return -1;
  }
}

void XmlStreamReader::fail(const std::string& reason) const {
  throw WorkbookError("パーツ " + part_.name() + " が壊れています: " + reason);
}

bool XmlStreamReader::next() { return settle(xmlTextReaderRead(reader_.get())); }

bool XmlStreamReader::settle(int status) {
  if (status == 0) return false;
  if (status < 0) fail(error_.empty() ? "XMLとして読めません" : error_);
  switch (xmlTextReaderNodeType(reader_.get())) {
    case XML_READER_TYPE_ELEMENT:
      node_ = Node::kStart;
      break;
    case XML_READER_TYPE_END_ELEMENT:
      node_ = Node::kEnd;
      break;
    case XML_READER_TYPE_TEXT:
    case XML_READER_TYPE_CDATA:
    case XML_READER_TYPE_WHITESPACE:
    case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
      node_ = Node::kText;
      break;
    case XML_READER_TYPE_DOCUMENT_TYPE:
    case XML_READER_TYPE_ENTITY_REFERENCE:
      fail("文書型宣言や実体参照は扱いません");
    default:
      node_ = Node::kOther;
      break;
  }
  return true;
}

bool XmlStreamReader::isEmptyElement() const { return xmlTextReaderIsEmptyElement(reader_.get()) == 1; }

// Elements are read from the node itself: the reader's own accessors look every name up in
// its dictionary, which costs more than the rest of a cell.
const char* XmlStreamReader::localName() const {
  if (node_ == Node::kStart || node_ == Node::kEnd) {
    const xmlNode* element = xmlTextReaderCurrentNode(reader_.get());
    if (element != nullptr) return text(element->name);
  }
  return text(xmlTextReaderConstLocalName(reader_.get()));
}

const char* XmlStreamReader::namespaceUri() const {
  if (node_ == Node::kStart || node_ == Node::kEnd) {
    const xmlNode* element = xmlTextReaderCurrentNode(reader_.get());
    if (element != nullptr) return element->ns != nullptr ? text(element->ns->href) : "";
  }
  return text(xmlTextReaderConstNamespaceUri(reader_.get()));
}

bool XmlStreamReader::isStart(const char* local) const {
  return node_ == Node::kStart && std::strcmp(localName(), local) == 0;
}

bool XmlStreamReader::isEnd(const char* local) const {
  return node_ == Node::kEnd && std::strcmp(localName(), local) == 0;
}

std::optional<std::string> XmlStreamReader::attribute(const char* name) const {
  return owned(xmlTextReaderGetAttributeNs(reader_.get(), reinterpret_cast<const xmlChar*>(name), nullptr));
}

std::optional<std::string> XmlStreamReader::attribute(const char* local, const char* namespaceUri) const {
  return owned(xmlTextReaderGetAttributeNs(reader_.get(), reinterpret_cast<const xmlChar*>(local),
                                           reinterpret_cast<const xmlChar*>(namespaceUri)));
}

}  // namespace morvane::platform
