#pragma once
// Push-parses one XML part through libxml2's SAX2 interface, for the large parts (worksheets,
// shared strings) where building reader nodes costs more than everything else. Hardened like
// XmlStreamReader: no network, no DTD, no entities.
#include <string>
#include <string_view>

#include "platform/xlsx/ZipArchive.h"

typedef unsigned char xmlChar;
typedef struct _xmlError xmlError;

namespace morvane::platform {

// The attributes of one element as the parser hands them over: not copied, valid during the call.
class XmlAttributes {
 public:
  XmlAttributes(const xmlChar** raw, int count) : raw_(raw), count_(count) {}
  int size() const { return count_; }
  // The local name and value of attribute i; namespaced attributes have a non-null uri(i).
  std::string_view name(int i) const;
  const char* uri(int i) const;
  std::string_view value(int i) const;

 private:
  const xmlChar** raw_;
  int count_;
};

class XmlSaxHandler {
 public:
  virtual ~XmlSaxHandler() = default;
  // `uri` is the element's namespace ("" when it has none).
  virtual void start(std::string_view local, const char* uri, const XmlAttributes& attributes) = 0;
  virtual void end(std::string_view local, const char* uri) = 0;
  virtual void text(std::string_view text) = 0;
};

class XmlSaxParser {
 public:
  // Parses the whole part into the handler. Throws WorkbookError, naming the part, when it is not
  // well-formed, cannot be inflated, holds a DTD, or the handler called fail().
  static void parse(ZipPart part, XmlSaxHandler& handler);

  // Called from inside a handler: stop with an error (thrown once parsing has unwound), or stop
  // because the rest of the part is not needed. Handlers must not throw themselves.
  void fail(std::string reason);
  void finish();
  bool stopped() const { return stopped_; }

  // The parser running the handler now, for handlers that need to stop it.
  static XmlSaxParser& current();

 private:
  XmlSaxParser(XmlSaxHandler& handler, void* context) : handler_(handler), context_(context) {}

  static void onStart(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int,
                      const xmlChar**);
  static void onEnd(void*, const xmlChar*, const xmlChar*, const xmlChar*);
  static void onText(void*, const xmlChar*, int);
  static void onSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*);
  static void onError(void*, xmlError*);

  XmlSaxHandler& handler_;
  void* context_;  // the libxml2 parser context
  std::string error_;
  bool stopped_ = false;
  bool failed_ = false;
};

}  // namespace morvane::platform
