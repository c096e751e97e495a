#pragma once
// A pull reader over one of the small XML parts of a zip archive (workbook, relationships,
// styles), on libxml2's xmlTextReader. The large parts go through XmlSaxParser. Hardened for
// untrusted files: no network, no DTD loading, no entity expansion, and a document type
// declaration is refused outright since no package part has one.
#include <memory>
#include <optional>
#include <string>

#include "platform/xlsx/ZipArchive.h"

typedef struct _xmlTextReader xmlTextReader;

namespace morvane::platform {

class XmlStreamReader {
 public:
  enum class Node { kStart, kEnd, kText, kOther };

  explicit XmlStreamReader(ZipPart part);
  ~XmlStreamReader();
  XmlStreamReader(const XmlStreamReader&) = delete;
  XmlStreamReader& operator=(const XmlStreamReader&) = delete;

  // Moves to the next node; false at the end of the document. Throws WorkbookError when the
  // part is not well-formed XML or cannot be inflated.
  bool next();

  Node node() const { return node_; }
  bool isEmptyElement() const;
  // The current element's local name and namespace URI ("" when it has none).
  const char* localName() const;
  const char* namespaceUri() const;
  bool isStart(const char* local) const;
  bool isEnd(const char* local) const;

  // An attribute without namespace prefix, or one in the given namespace.
  std::optional<std::string> attribute(const char* name) const;
  std::optional<std::string> attribute(const char* local, const char* namespaceUri) const;

  const std::string& partName() const { return part_.name(); }
  [[noreturn]] void fail(const std::string& reason) const;

 private:
  static int readCallback(void* context, char* buffer, int length);
  bool settle(int status);

  ZipPart part_;
  std::string error_;
  std::unique_ptr<xmlTextReader, void (*)(xmlTextReader*)> reader_;
  Node node_ = Node::kOther;
};

}  // namespace morvane::platform
