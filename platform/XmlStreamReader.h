#pragma once
// A pull reader over one XML part of a zip archive (libxml2's xmlTextReader). Hardened for
// untrusted files: no network, no DTD loading, no entity expansion, and a document type
// declaration is refused outright since no package part has one.
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "platform/ZipArchive.h"

typedef struct _xmlTextReader xmlTextReader;
typedef struct _xmlNode xmlNode;

namespace morvane::platform {

class XmlStreamReader {
 public:
  enum class Node { kStart, kEnd, kText, kOther };

  explicit XmlStreamReader(ZipPart part);
  // Reads another part with the same parser, which saves setting one up for each sheet.
  void restart(ZipPart part);
  ~XmlStreamReader();
  XmlStreamReader(const XmlStreamReader&) = delete;
  XmlStreamReader& operator=(const XmlStreamReader&) = delete;

  // Moves to the next node; false at the end of the document. Throws WorkbookError when the
  // part is not well-formed XML or cannot be inflated.
  bool next();

  // The current element with everything inside it, parsed: cheaper to walk than node by node
  // for small elements. Valid until the reader moves on.
  const xmlNode* expand();
  // Moves past the current node and everything inside it; false at the end of the document.
  bool skip();

  Node node() const { return node_; }
  int depth() const;
  bool isEmptyElement() const;
  // The current element's local name and namespace URI ("" when it has none).
  const char* localName() const;
  const char* namespaceUri() const;
  bool isStart(const char* local) const;
  bool isEnd(const char* local) const;

  // An attribute without namespace prefix, or one in the given namespace.
  std::optional<std::string> attribute(const char* name) const;
  std::optional<std::string> attribute(const char* local, const char* namespaceUri) const;

  // Calls visit(localName, value) for each attribute of the current element that has no
  // namespace, without copying the values.
  template <typename Visit>
  void forEachAttribute(Visit&& visit) {
    visitAttributes(
        [](void* context, const char* local, const char* value) {
          (*static_cast<std::remove_reference_t<Visit>*>(context))(local, value);
        },
        &visit);
  }

  const std::string& partName() const { return part_.name(); }
  [[noreturn]] void fail(const std::string& reason) const;

 private:
  static int readCallback(void* context, char* buffer, int length);
  bool settle(int status);
  void visitAttributes(void (*visit)(void*, const char*, const char*), void* context);

  ZipPart part_;
  std::string error_;
  std::unique_ptr<xmlTextReader, void (*)(xmlTextReader*)> reader_;
  Node node_ = Node::kOther;
};

}  // namespace morvane::platform
