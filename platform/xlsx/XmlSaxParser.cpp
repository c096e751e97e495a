#include "platform/xlsx/XmlSaxParser.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstring>
#include <memory>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

const char* asText(const xmlChar* value) { return value ? reinterpret_cast<const char*>(value) : ""; }

thread_local XmlSaxParser* running = nullptr;

struct ContextFree {
  void operator()(xmlParserCtxt* context) const {
    if (context->myDoc != nullptr) xmlFreeDoc(context->myDoc);
    xmlFreeParserCtxt(context);
  }
};

// Sets `running` for the duration of one parse, also when it ends by an exception.
class Running {
 public:
  explicit Running(XmlSaxParser* parser) : previous_(running) { running = parser; }
  ~Running() { running = previous_; }

 private:
  XmlSaxParser* previous_;
};

}  // namespace

std::string_view XmlAttributes::name(int i) const { return asText(raw_[i * 5]); }
const char* XmlAttributes::uri(int i) const { return reinterpret_cast<const char*>(raw_[i * 5 + 2]); }
std::string_view XmlAttributes::value(int i) const {
  const auto* begin = reinterpret_cast<const char*>(raw_[i * 5 + 3]);
  const auto* end = reinterpret_cast<const char*>(raw_[i * 5 + 4]);
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

XmlSaxParser& XmlSaxParser::current() { return *running; }

void XmlSaxParser::fail(std::string reason) {
  if (!failed_) error_ = std::move(reason);
  failed_ = true;
  finish();
}

void XmlSaxParser::finish() {
  if (!stopped_) xmlStopParser(static_cast<xmlParserCtxt*>(context_));
  stopped_ = true;
}

void XmlSaxParser::onStart(void* self, const xmlChar* local, const xmlChar*, const xmlChar* uri, int,
                           const xmlChar**, int count, int, const xmlChar** attributes) {
  auto* parser = static_cast<XmlSaxParser*>(self);
  if (parser->stopped_) return;
  parser->handler_.start(asText(local), asText(uri), XmlAttributes(attributes, count));
}

void XmlSaxParser::onEnd(void* self, const xmlChar* local, const xmlChar*, const xmlChar* uri) {
  auto* parser = static_cast<XmlSaxParser*>(self);
  if (parser->stopped_) return;
  parser->handler_.end(asText(local), asText(uri));
}

void XmlSaxParser::onText(void* self, const xmlChar* text, int length) {
  auto* parser = static_cast<XmlSaxParser*>(self);
  if (parser->stopped_) return;
  parser->handler_.text(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
}

// No package part has a document type declaration; one is either damage or an attack.
void XmlSaxParser::onSubset(void* self, const xmlChar*, const xmlChar*, const xmlChar*) {
  static_cast<XmlSaxParser*>(self)->fail("文書型宣言や実体参照は扱いません");
}

void XmlSaxParser::onError(void* self, xmlError* error) {
  auto* parser = static_cast<XmlSaxParser*>(self);
  if (parser->failed_ || error == nullptr || error->level < XML_ERR_ERROR) return;
  std::string message = asText(reinterpret_cast<const xmlChar*>(error->message));
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  parser->fail(message + " (" + std::to_string(error->line) + "行目)");
}

void XmlSaxParser::parse(ZipPart part, XmlSaxHandler& handler) {
  xmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.startElementNs = &XmlSaxParser::onStart;
  sax.endElementNs = &XmlSaxParser::onEnd;
  sax.characters = &XmlSaxParser::onText;
  sax.ignorableWhitespace = &XmlSaxParser::onText;
  sax.internalSubset = &XmlSaxParser::onSubset;
  sax.externalSubset = &XmlSaxParser::onSubset;
  sax.serror = &XmlSaxParser::onError;

  char buffer[64 * 1024];
  std::size_t got = part.read(buffer, sizeof buffer);
  XmlSaxParser parser(handler, nullptr);
  const std::size_t head = std::min<std::size_t>(got, 4);
  std::unique_ptr<xmlParserCtxt, ContextFree> context(
      xmlCreatePushParserCtxt(&sax, &parser, buffer, static_cast<int>(head), part.name().c_str()));
  if (!context) throw WorkbookError("パーツ " + part.name() + " が壊れています: XMLとして読めません");
  parser.context_ = context.get();
  xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA);
  Running running(&parser);
  auto failIfNeeded = [&] {
    if (parser.failed_) throw WorkbookError("パーツ " + part.name() + " が壊れています: " + parser.error_);
  };
  std::size_t offset = head;
  for (;;) {
    const bool last = got == 0;
    xmlParseChunk(context.get(), buffer + offset, static_cast<int>(got - offset), last ? 1 : 0);
    failIfNeeded();
    if (parser.stopped_ || last) break;
    got = part.read(buffer, sizeof buffer);
    offset = 0;
  }
  if (!parser.stopped_ && !context->wellFormed) {
    throw WorkbookError("パーツ " + part.name() + " が壊れています: XMLとして読めません");
  }
}

}  // namespace morvane::platform
