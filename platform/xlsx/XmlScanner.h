#pragma once
// A pull parser over one inflated package part, in place: names and values are views into the
// part's buffer, text is decoded where it stands. Hardened for untrusted files: a document type
// declaration is refused outright (no package part has one), so no entity beyond the five
// predefined ones and character references exists, and nothing is ever fetched.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/xlsx/ZipArchive.h"

namespace morvane::platform {

class XmlScanner {
 public:
  // No package part nests more than a few dozen elements or gives one element more than a few
  // dozen attributes: far beyond that is a bomb, refused before it costs memory or time.
  static constexpr std::size_t kMaxDepth = 256;
  static constexpr std::size_t kMaxAttributes = 1024;  // per element, namespace declarations included
  static constexpr std::size_t kMaxBindings = 128;      // namespace declarations in scope

  enum class Event { kStart, kEnd, kText, kDone };

  // `namespaces` are the URIs the caller tells apart: ns() gives the index of an element's or
  // attribute's namespace among them, or -1. The part must stay alive while it is scanned.
  // A part in UTF-16 is re-encoded to UTF-8 first.
  XmlScanner(ZipPart& part, std::span<const std::string_view> namespaces);

  // The next event. An empty element gives kStart, then kEnd. Throws WorkbookError naming the
  // part and the line when the part is not well-formed XML.
  Event next();

  // The current element (kStart or kEnd).
  std::string_view local() const { return current_->local; }
  int ns() const { return current_->ns; }
  bool is(int ns, std::string_view local) const { return current_->ns == ns && current_->local == local; }
  bool isEmptyElement() const { return empty_; }
  // The current element's name as written, prefix included.
  std::string_view qualifiedName() const { return current_->qualified; }
  // The namespace unprefixed elements are in here.
  int defaultNamespace() const { return defaultNs_; }
  // Where scanning stands: just after the current tag. For callers that read a known shape on
  // their own from there; the scanner is not used afterwards.
  const char* position() const { return p_; }
  // Elements open around the current one (0 for the root).
  std::size_t depth() const { return depth_ - 1; }

  // An attribute of the current start element without prefix, or with one bound to the
  // namespace of that index; nothing when absent. The view lives until the next event.
  std::optional<std::string_view> attribute(std::string_view local) const;
  std::optional<std::string_view> attribute(std::string_view local, int ns) const;

  // The attributes of the current start element one by one, for callers that want several.
  std::size_t attributeCount() const { return attributes_.size(); }
  bool attributeIsPlain(std::size_t i) const { return attributes_[i].prefix.empty(); }
  std::string_view attributeLocal(std::size_t i) const { return attributes_[i].local; }
  std::string_view attributeValue(std::size_t i) const { return value(attributes_[i]); }

  // The current text (kText), character and entity references replaced.
  std::string_view text() const { return text_; }

  const std::string& partName() const { return part_.name(); }
  std::size_t partSize() const { return part_.size(); }
  // Throws WorkbookError naming the part and the current line.
  [[noreturn]] void fail(const std::string& reason) const;

 private:
  struct Element {
    std::string_view qualified;
    std::string_view local;
    int ns = -1;
    std::size_t bindings = 0;  // bindings_ size before this element's own
  };
  struct Attribute {
    std::string_view prefix;
    std::string_view local;
    char* value;
    std::size_t length;
    bool raw;  // still holds references or white space to normalize
  };
  struct Binding {
    std::string prefix;
    int ns;
  };

  Event startTag();
  Event endTag();
  void skipSpace();
  std::string_view name(std::size_t& colon);
  std::size_t decode(char* begin, std::size_t length, bool attributeValue) const;
  int resolve(std::string_view prefix) const;
  void unbind(std::size_t keep);
  int classify(std::string_view uri) const;
  std::string_view value(const Attribute& attribute) const;
  [[noreturn]] void failAt(const char* at, const std::string& reason) const;

  ZipPart& part_;
  std::span<const std::string_view> namespaces_;
  char* p_;
  char* end_;
  std::vector<Element> stack_;
  std::size_t depth_ = 0;
  const Element* current_ = nullptr;
  Element closing_;
  mutable std::vector<Attribute> attributes_;
  std::unordered_set<std::string_view> attributeNames_;  // for the duplicate check of many attributes
  std::vector<Binding> bindings_;
  int defaultNs_ = -1;
  std::string_view text_;
  bool empty_ = false;
  bool pendingEnd_ = false;
  bool seenRoot_ = false;
};

}  // namespace morvane::platform
