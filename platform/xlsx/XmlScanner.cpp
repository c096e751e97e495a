#include "platform/xlsx/XmlScanner.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/text/Utf8.h"
#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Bytes that end a run of plain text: markup, references, carriage returns, the end of the buffer.
constexpr std::array<unsigned char, 256> kTextStop = [] {
  std::array<unsigned char, 256> table{};
  table['<'] = table['&'] = table['\r'] = table[0] = 1;
  return table;
}();

// Bytes an attribute value stops at: either quote, markup, references, white space to normalize.
constexpr std::array<unsigned char, 256> kValueStop = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned char c : std::string_view("\"'<&\t\n\r", 7)) table[c] = 1;
  table[0] = 1;
  return table;
}();

// Bytes that end a name: white space, markup, quotes, the end of the buffer.
constexpr std::array<bool, 256> kNameEnd = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : std::string_view(" \t\r\n/>=<\"'&", 12)) table[c] = true;
  table[0] = true;
  return table;
}();

std::size_t writeUtf8(char* out, char32_t code) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | code >> 6);
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0 | code >> 12);
    out[1] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | code >> 18);
  out[1] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

bool isXmlChar(char32_t code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// A part saved as UTF-16, from its first character after any byte order mark, as UTF-8.
std::string fromUtf16(std::string_view bytes, bool bigEndian, std::size_t start) {
  Utf16ToUtf8 out(bytes.size());
  for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    out.push(static_cast<char16_t>(bigEndian ? a << 8 | b : b << 8 | a));
  }
  return out.take();
}

}  // namespace

XmlScanner::XmlScanner(ZipPart& part, std::span<const std::string_view> namespaces)
    : part_(part), namespaces_(namespaces) {
  const std::string_view head = part.view().substr(0, 4);
  if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
    part.assign(fromUtf16(part.view(), head[0] == '\xFE', 2));
  } else if (head == std::string_view("\0<\0?", 4) || head == std::string_view("<\0?\0", 4)) {
    // Without a mark, the declaration's first two characters tell UTF-16 and its byte order.
    part.assign(fromUtf16(part.view(), head[0] == '\0', 0));
  }
  p_ = part.data();
  end_ = part.data() + part.size();
  if (part.view().starts_with("\xEF\xBB\xBF")) p_ += 3;
  stack_.resize(16);
}

void XmlScanner::failAt(const char* at, const std::string& reason) const {
  const auto line = 1 + std::count(static_cast<const char*>(part_.data()), std::min<const char*>(at, end_), '\n');
  throw WorkbookError("パーツ " + part_.name() + " が壊れています: XML の " + std::to_string(line) + " 行目: " + reason);
}

void XmlScanner::fail(const std::string& reason) const { failAt(p_, reason); }

void XmlScanner::skipSpace() {
  while (isSpace(*p_)) ++p_;
}

// A name at the current position; `colon` gets the position of its first colon (npos for none).
std::string_view XmlScanner::name(std::size_t& colon) {
  char* begin = p_;
  colon = std::string_view::npos;
  for (;;) {
    const unsigned char c = static_cast<unsigned char>(*p_);
    if (kNameEnd[c]) break;
    if (c == ':' && colon == std::string_view::npos) colon = static_cast<std::size_t>(p_ - begin);
    ++p_;
  }
  std::string_view result(begin, static_cast<std::size_t>(p_ - begin));
  if (!result.empty()) {
    const char first = result.front();
    if ((first >= '0' && first <= '9') || first == '-' || first == '.' || first == ':') {
      failAt(begin, "名前 " + std::string(result) + " は使えません");
    }
  }
  return result;
}

int XmlScanner::classify(std::string_view uri) const {
  for (std::size_t i = 0; i < namespaces_.size(); ++i) {
    if (namespaces_[i] == uri) return static_cast<int>(i);
  }
  return -1;
}

int XmlScanner::resolve(std::string_view prefix) const {
  if (prefix.empty()) return defaultNs_;
  for (auto binding = bindings_.rbegin(); binding != bindings_.rend(); ++binding) {
    if (binding->prefix == prefix) return binding->ns;
  }
  if (prefix.empty() || prefix == "xml") return -1;
  fail("名前空間の接頭辞 " + std::string(prefix) + ": が宣言されていません");
}

// Replaces references in place (the result is never longer) and returns the new length. In an
// attribute value, white space becomes blanks; in text, CR LF and CR become LF.
std::size_t XmlScanner::decode(char* begin, std::size_t length, bool attributeValue) const {
  char* r = begin;
  char* w = begin;
  char* const e = begin + length;
  while (r < e) {
    const char c = *r;
    if (c == '&') {
      char* semicolon = static_cast<char*>(std::memchr(r, ';', static_cast<std::size_t>(std::min<std::ptrdiff_t>(e - r, 12))));
      if (semicolon == nullptr) failAt(r, "& のあとに参照が続いていません");
      const std::string_view ref(r + 1, static_cast<std::size_t>(semicolon - r - 1));
      if (ref.starts_with('#')) {
        const bool hex = ref.size() > 1 && ref[1] == 'x';
        const std::string_view digits = ref.substr(hex ? 2 : 1);
        char32_t code = 0;
        bool valid = !digits.empty() && digits.size() <= 8;
        for (char d : digits) {
          int v = -1;
          if (d >= '0' && d <= '9') v = d - '0';
          else if (hex && d >= 'a' && d <= 'f') v = d - 'a' + 10;
          else if (hex && d >= 'A' && d <= 'F') v = d - 'A' + 10;
          if (v < 0) valid = false;
          else code = code * (hex ? 16 : 10) + static_cast<char32_t>(v);
        }
        if (!valid || !isXmlChar(code)) failAt(r, "文字参照 &" + std::string(ref) + "; は文字を表していません");
        w += writeUtf8(w, code);
      } else {
        char replacement = 0;
        if (ref == "lt") replacement = '<';
        else if (ref == "gt") replacement = '>';
        else if (ref == "amp") replacement = '&';
        else if (ref == "quot") replacement = '"';
        else if (ref == "apos") replacement = '\'';
        else failAt(r, "実体参照 &" + std::string(ref) + "; は定義されていません (文書型宣言は扱いません)");
        *w++ = replacement;
      }
      r = semicolon + 1;
    } else if (c == '\r') {
      *w++ = attributeValue ? ' ' : '\n';
      r += (r + 1 < e && r[1] == '\n') ? 2 : 1;
    } else {
      *w++ = attributeValue && (c == '\t' || c == '\n') ? ' ' : c;
      ++r;
    }
  }
  return static_cast<std::size_t>(w - begin);
}

std::string_view XmlScanner::value(const Attribute& attribute) const {
  auto& a = const_cast<Attribute&>(attribute);
  if (a.raw) {
    a.length = decode(a.value, a.length, true);
    a.raw = false;
  }
  return {a.value, a.length};
}

std::optional<std::string_view> XmlScanner::attribute(std::string_view local) const {
  for (const Attribute& a : attributes_) {
    if (a.prefix.empty() && a.local == local) return value(a);
  }
  return std::nullopt;
}

std::optional<std::string_view> XmlScanner::attribute(std::string_view local, int ns) const {
  for (const Attribute& a : attributes_) {
    if (!a.prefix.empty() && a.local == local && resolve(a.prefix) == ns) return value(a);
  }
  return std::nullopt;
}

void XmlScanner::unbind(std::size_t keep) {
  if (bindings_.size() == keep) return;
  bindings_.resize(keep);
  defaultNs_ = -1;
  for (auto binding = bindings_.rbegin(); binding != bindings_.rend(); ++binding) {
    if (binding->prefix.empty()) {
      defaultNs_ = binding->ns;
      break;
    }
  }
}

XmlScanner::Event XmlScanner::next() {
  if (pendingEnd_) {
    pendingEnd_ = false;
    closing_ = stack_[--depth_];
    unbind(closing_.bindings);
    current_ = &closing_;
    empty_ = false;
    return Event::kEnd;
  }
  for (;;) {
    if (p_ >= end_) {
      if (depth_ != 0) fail("要素 <" + std::string(stack_[depth_ - 1].qualified) + "> が閉じられないまま終わっています");
      if (!seenRoot_) fail("要素がひとつもありません");
      return Event::kDone;
    }
    if (*p_ != '<') {
      char* begin = p_;
      // Texts of cells are a few bytes long: one pass finds the end and what needs decoding.
      bool raw = false;
      while (kTextStop[static_cast<unsigned char>(*p_)] == 0) ++p_;
      while (*p_ != '<' && p_ < end_) {
        raw = true;
        ++p_;
        while (kTextStop[static_cast<unsigned char>(*p_)] == 0) ++p_;
      }
      const auto length = static_cast<std::size_t>(p_ - begin);
      if (depth_ == 0) {
        if (!std::all_of(begin, p_, isSpace)) failAt(begin, "ルート要素の外に文字があります");
        continue;
      }
      text_ = std::string_view(begin, raw ? decode(begin, length, false) : length);
      return Event::kText;
    }
    const char c = p_[1];
    if (c == '/') return endTag();
    if (c == '?') {
      const char* close = std::strstr(p_ + 2, "?>");
      if (close == nullptr || close >= end_) fail("処理命令 <? が閉じられていません");
      p_ = const_cast<char*>(close) + 2;
      continue;
    }
    if (c == '!') {
      const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
      if (rest.starts_with("<!--")) {
        const auto close = rest.find("-->", 4);
        if (close == std::string_view::npos) fail("コメントが閉じられていません");
        p_ += close + 3;
        continue;
      }
      if (rest.starts_with("<![CDATA[")) {
        if (depth_ == 0) fail("ルート要素の外に CDATA があります");
        const auto close = rest.find("]]>", 9);
        if (close == std::string_view::npos) fail("CDATA が閉じられていません");
        text_ = rest.substr(9, close - 9);
        p_ += close + 3;
        return Event::kText;
      }
      if (rest.starts_with("<!DOCTYPE")) fail("文書型宣言 (DOCTYPE) があります。安全のため読みません");
      fail("読めないマークアップ <! があります");
    }
    return startTag();
  }
}

XmlScanner::Event XmlScanner::startTag() {
  char* at = p_++;
  std::size_t elementColon = 0;
  const std::string_view qualified = name(elementColon);
  if (qualified.empty()) failAt(at, "< のあとに要素名がありません");
  if (depth_ == 0 && seenRoot_) failAt(at, "ルート要素のあとに要素 <" + std::string(qualified) + "> があります");
  attributes_.clear();
  const std::size_t bindingsBefore = bindings_.size();
  std::size_t attributeCount = 0;
  bool empty = false;
  for (;;) {
    const char* before = p_;
    skipSpace();
    if (*p_ == '/') {
      if (p_[1] != '>') fail("要素 <" + std::string(qualified) + "> のタグが正しく閉じられていません");
      p_ += 2;
      empty = true;
      break;
    }
    if (*p_ == '>') {
      ++p_;
      break;
    }
    std::size_t colon = 0;
    const std::string_view attributeName = name(colon);
    if (attributeName.empty()) {
      fail(p_ >= end_ ? "要素 <" + std::string(qualified) + "> のタグが途中で終わっています"
                      : "要素 <" + std::string(qualified) + "> のタグに読めない文字があります");
    }
    if (p_ - attributeName.size() == before) fail("属性 " + std::string(attributeName) + " の前に空白がありません");
    skipSpace();
    if (*p_ != '=') fail("属性 " + std::string(attributeName) + " に = がありません");
    ++p_;
    skipSpace();
    const char quote = *p_;
    if (quote != '"' && quote != '\'') fail("属性 " + std::string(attributeName) + " の値が引用符で囲まれていません");
    char* valueBegin = ++p_;
    bool raw = false;
    for (;; ++p_) {
      const unsigned char v = static_cast<unsigned char>(*p_);
      if (kValueStop[v] == 0) continue;
      if (v == static_cast<unsigned char>(quote)) break;
      if (p_ >= end_) fail("属性 " + std::string(attributeName) + " の値が閉じられていません");
      if (v == '<') fail("属性 " + std::string(attributeName) + " の値に < があります");
      if (v != '"' && v != '\'') raw = true;
    }
    char* close = p_;
    const auto length = static_cast<std::size_t>(close - valueBegin);
    p_ = close + 1;
    Attribute attribute{colon == std::string_view::npos ? std::string_view() : attributeName.substr(0, colon),
                        colon == std::string_view::npos ? attributeName : attributeName.substr(colon + 1), valueBegin,
                        length, raw};
    if (attribute.local.empty()) fail("属性名 " + std::string(attributeName) + " が読めません");
    if (++attributeCount > kMaxAttributes) {
      fail("要素 <" + std::string(qualified) + "> の属性が多すぎます (" + std::to_string(kMaxAttributes) + " 個まで)");
    }
    if (attributeName == "xmlns" || attribute.prefix == "xmlns") {
      if (bindings_.size() == kMaxBindings) fail("名前空間の宣言が多すぎます (" + std::to_string(kMaxBindings) + " 個まで)");
      bindings_.push_back(Binding{attributeName == "xmlns" ? std::string() : std::string(attribute.local),
                                  classify(value(attribute))});
      if (attributeName == "xmlns") defaultNs_ = bindings_.back().ns;
      continue;
    }
    // A few attributes are compared in turn; many through a set, so that the check stays linear.
    constexpr std::size_t kFew = 8;
    bool duplicate = false;
    if (attributes_.size() < kFew) {
      for (const Attribute& other : attributes_) {
        duplicate = duplicate || (other.local.size() == attribute.local.size() && other.local[0] == attribute.local[0] &&
                                  other.local == attribute.local && other.prefix == attribute.prefix);
      }
    } else {
      if (attributes_.size() == kFew) {
        attributeNames_.clear();
        for (const Attribute& other : attributes_) {
          attributeNames_.insert(other.prefix.empty() ? other.local
                                                      : std::string_view(other.prefix.data(), other.prefix.size() + 1 + other.local.size()));
        }
      }
      duplicate = !attributeNames_.insert(attributeName).second;
    }
    if (duplicate) fail("属性 " + std::string(attributeName) + " が二度あります");
    attributes_.push_back(attribute);
  }
  if (depth_ == kMaxDepth) failAt(at, "要素の入れ子が深すぎます (" + std::to_string(kMaxDepth) + " 段まで)");
  if (depth_ == stack_.size()) stack_.resize(stack_.size() * 2);
  Element& element = stack_[depth_++];
  element.qualified = qualified;
  if (elementColon == std::string_view::npos) {
    element.local = qualified;
    element.ns = defaultNs_;
  } else {
    element.local = qualified.substr(elementColon + 1);
    element.ns = resolve(qualified.substr(0, elementColon));
  }
  element.bindings = bindingsBefore;
  current_ = &element;
  seenRoot_ = true;
  empty_ = empty;
  pendingEnd_ = empty;
  return Event::kStart;
}

XmlScanner::Event XmlScanner::endTag() {
  char* at = p_;
  p_ += 2;
  std::size_t colon = 0;
  const std::string_view qualified = name(colon);
  skipSpace();
  if (*p_ != '>') fail("終了タグ </" + std::string(qualified) + "> が正しく閉じられていません");
  ++p_;
  if (depth_ == 0) failAt(at, "開始タグのない終了タグ </" + std::string(qualified) + "> があります");
  const Element& open = stack_[depth_ - 1];
  if (open.qualified != qualified) {
    failAt(at, "終了タグ </" + std::string(qualified) + "> が開始タグ <" + std::string(open.qualified) + "> と合いません");
  }
  closing_ = open;
  --depth_;
  unbind(closing_.bindings);
  current_ = &closing_;
  empty_ = false;
  return Event::kEnd;
}

}  // namespace morvane::platform
