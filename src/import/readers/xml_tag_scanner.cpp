#include "import/readers/xml_tag_scanner.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "import/readers/utf8.h"

namespace sorvane::readers {
namespace {

constexpr size_t kMaxPending = 1 << 20;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Name characters, ASCII only: 1 may start a name, 2 may follow.
constexpr auto kNameClass = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    const bool more = (c >= '0' && c <= '9') || c == '-' || c == '.';
    t[static_cast<size_t>(c)] = start ? 3 : more ? 2 : 0;
  }
  return t;
}();

// Characters of attribute values the scanner must look at: '<' it leaves to
// expat, line ends and tabs become blanks, references are replaced.
constexpr uint8_t kRefused = 1, kBlank = 2, kReference = 4;
constexpr auto kValueClass = [] {
  std::array<uint8_t, 256> t{};
  t['<'] = kRefused;
  t['&'] = kReference;
  t['\t'] = t['\n'] = t['\r'] = kBlank;
  return t;
}();

// Bytes that end a leaf element's plain text: its end tag's '<', or what
// TextRun replaces or checks.
constexpr auto kLeafTextStop = [] {
  std::array<uint8_t, 256> t{};
  t['<'] = t[']'] = t['&'] = t['\r'] = 1;
  return t;
}();

// Names and attribute values are short: a loop beats a call to memcmp or
// memchr there, and long runs still go to memchr.
bool SameBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}
const char* FindByte(const char* p, const char* end, char c) {
  const char* stop = end - p > 32 ? p + 32 : end;
  for (; p < stop; ++p) {
    if (*p == c) return p;
  }
  return p < end ? static_cast<const char*>(std::memchr(p, c, static_cast<size_t>(end - p)))
                 : nullptr;
}

bool IsNameStart(char c) { return (kNameClass[static_cast<unsigned char>(c)] & 1) != 0; }
bool IsNameChar(char c) { return kNameClass[static_cast<unsigned char>(c)] != 0; }
// ASCII names only: the rest is expat's.
bool IsName(const char* p, const char* end) {
  if (p == end || !IsNameStart(*p)) return false;
  for (++p; p < end; ++p) {
    if (!IsNameChar(*p)) return false;
  }
  return true;
}

bool IsXmlChar(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// Length of the valid UTF-8 character at `p` (an XML character), 0 when it is
// invalid, -1 when it is cut off by `end`.
int Utf8CharLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char c = p[0];
  int n;
  uint32_t cp;
  if (c < 0x80) return (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') ? 1 : 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  for (int i = 1; i < n; ++i) {
    if (p + i >= end) return -1;
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  // Overlong forms, surrogates and non-characters are not well-formed.
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || !IsXmlChar(cp)) return 0;
  return n;
}

class TagScanner {
 public:
  explicit TagScanner(XmlHandler& handler) : handler_(handler) {}

  // False to stop: the handler is done, or the scanner gives up (`gave_up_`).
  bool Feed(const char* data, size_t size) {
    if (first_) {
      // UTF-16 text (with or without byte-order mark) is expat's to read.
      if (size >= 2 &&
          (data[0] == '\0' || data[1] == '\0' || (static_cast<unsigned char>(data[0]) >= 0xFE))) {
        return GiveUp();
      }
      if (size < 3 && buf_.size() + size < 3) {
        buf_.append(data, size);
        return true;
      }
      first_ = false;
      buf_.append(data, size);
      if (buf_.compare(0, 3, "\xEF\xBB\xBF") == 0) buf_.erase(0, 3);  // UTF-8 byte-order mark
    } else {
      buf_.append(data, size);
    }
    if (!Validate()) return GiveUp();
    const size_t used = Process(false);
    if (gave_up_ || handler_.stopped()) return false;
    buf_.erase(0, used);
    validated_ -= used;
    if (buf_.size() > kMaxPending) return GiveUp();
    return true;
  }

  // The part has ended: what is left must end the document.
  void Finish() {
    if (gave_up_ || handler_.stopped()) return;
    if (first_) {
      first_ = false;
      if (!Validate()) {
        GiveUp();
        return;
      }
    }
    if (validated_ != buf_.size()) {
      GiveUp();  // a character cut off by the end
      return;
    }
    const size_t used = Process(true);
    if (gave_up_ || handler_.stopped()) return;
    if (used != buf_.size() || !root_closed_) GiveUp();
  }

  bool gave_up() const { return gave_up_; }

 private:
  bool GiveUp() {
    gave_up_ = true;
    return false;
  }

  // Checks the characters added to buf_ since the last call: UTF-8 and XML
  // characters only. A character cut off by the chunk's end waits for the next.
  bool Validate() {
    const auto* p = reinterpret_cast<const unsigned char*>(buf_.data()) + validated_;
    const auto* const end = reinterpret_cast<const unsigned char*>(buf_.data()) + buf_.size();
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
    while (p < end) {
      // Eight plain printable ASCII bytes at a time (no byte >= 0x80 or < 0x20).
      while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        if ((((w - kOnes * 0x20) & ~w) | w) & kHighs) break;
        p += 8;
      }
      if (p == end) break;
      const int n = Utf8CharLength(p, end);
      if (n == 0) return false;
      if (n < 0) break;
      p += n;
    }
    validated_ = static_cast<size_t>(p - reinterpret_cast<const unsigned char*>(buf_.data()));
    return true;
  }

  // Handles every complete construct of buf_; returns how many bytes it used.
  // `last` when no more bytes will come.
  size_t Process(bool last) {
    const char* const begin = buf_.data();
    const char* const end = begin + validated_;
    const char* p = begin;
    while (p < end) {
      if (*p != '<') {
        const char* lt =
            static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
        if (lt == nullptr) {
          if (!last) return static_cast<size_t>(p - begin);
          lt = end;
        }
        if (!TextRun(p, lt)) {
          GiveUp();
          return 0;
        }
        p = lt;
        continue;
      }
      if (end - p < 2) return static_cast<size_t>(p - begin);
      const char* next;
      if (p[1] == '!') {
        next = Markup(p, end);
      } else if (p[1] == '?') {
        next = Instruction(p, end);
      } else if (p[1] == '/') {
        const char* close = FindByte(p + 2, end, '>');
        if (close == nullptr) return static_cast<size_t>(p - begin);
        if (!EndTag(p + 2, close)) {
          GiveUp();
          return 0;
        }
        if (handler_.stopped()) return 0;
        next = close + 1;
      } else {
        next = BareStart(p + 1, end);
        if (next == nullptr) next = StartTag(p + 1, end);
        if (handler_.stopped()) return 0;
      }
      if (gave_up_) return 0;
      if (next == nullptr) return static_cast<size_t>(p - begin);
      p = next;
      started_ = true;
    }
    return static_cast<size_t>(p - begin);
  }

  // Character data from `p` to `end`: outside the root element only blanks.
  bool TextRun(const char* p, const char* end) {
    started_ = true;  // no XML declaration after this
    if (depth() == 0) {
      for (; p < end; ++p) {
        if (!IsSpace(*p)) return false;
      }
      return true;
    }
    const auto n = static_cast<size_t>(end - p);
    bool plain = true;
    if (n <= 64) {
      // Cell values are short: one look at each byte instead of three calls.
      for (const char* q = p; q < end; ++q) {
        const char c = *q;
        if (c == ']' || c == '&' || c == '\r') {
          plain = false;
          break;
        }
      }
    } else {
      plain = std::memchr(p, ']', n) == nullptr && std::memchr(p, '&', n) == nullptr &&
              std::memchr(p, '\r', n) == nullptr;
    }
    if (plain) {
      handler_.Text(p, static_cast<int>(n));
      return true;
    }
    if (std::string_view(p, n).find("]]>") != std::string::npos) return false;
    text_.clear();
    while (p < end) {
      const char c = *p;
      if (c == '\r') {
        text_ += '\n';  // line ends read as LF, CR LF as one
        p += (p + 1 < end && p[1] == '\n') ? 2 : 1;
      } else if (c == '&') {
        p = AppendReferenceAt(p, end, text_);
        if (p == nullptr) return false;
      } else {
        text_ += c;
        ++p;
      }
    }
    handler_.Text(text_.data(), static_cast<int>(text_.size()));
    return true;
  }

  // Appends the character the reference at `p` ('&' up to ';', before `end`)
  // stands for; the position after it, or null when it stands for none.
  static const char* AppendReferenceAt(const char* p, const char* end, std::string& out) {
    const char* semi = static_cast<const char*>(std::memchr(p, ';', static_cast<size_t>(end - p)));
    if (semi == nullptr ||
        !AppendReference(std::string_view(p + 1, static_cast<size_t>(semi - p - 1)), out))
      return nullptr;
    return semi + 1;
  }

  // Appends the character a reference (between '&' and ';') stands for.
  static bool AppendReference(std::string_view r, std::string& out) {
    if (r == "lt") {
      out += '<';
    } else if (r == "gt") {
      out += '>';
    } else if (r == "amp") {
      out += '&';
    } else if (r == "quot") {
      out += '"';
    } else if (r == "apos") {
      out += '\'';
    } else {
      if (r.size() < 2 || r[0] != '#') return false;
      const bool hex = r[1] == 'x';
      size_t i = hex ? 2 : 1;
      if (i == r.size()) return false;
      uint32_t cp = 0;
      for (; i < r.size(); ++i) {
        const char c = r[i];
        uint32_t d;
        if (c >= '0' && c <= '9') {
          d = static_cast<uint32_t>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
          d = static_cast<uint32_t>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
          d = static_cast<uint32_t>(c - 'A' + 10);
        } else {
          return false;
        }
        cp = cp * (hex ? 16 : 10) + d;
        if (cp > 0x10FFFF) return false;
      }
      if (!IsXmlChar(cp)) return false;
      AppendCodePoint(cp, out);
    }
    return true;
  }

  // "<!--...-->" or "<![CDATA[...]]>" at `p`; returns the position after it,
  // null when it is not complete yet. Anything else gives up.
  const char* Markup(const char* p, const char* end) {
    const std::string_view rest(p, static_cast<size_t>(end - p));
    if (rest.size() < 4) return nullptr;
    if (rest.compare(0, 4, "<!--") == 0) {
      const size_t at = rest.find("--", 4);
      if (at == std::string_view::npos) return nullptr;
      if (at + 2 >= rest.size()) return nullptr;
      if (rest[at + 2] != '>') {
        GiveUp();  // "--" inside a comment
        return nullptr;
      }
      return p + at + 3;
    }
    if (rest.size() < 9) return nullptr;
    if (rest.compare(0, 9, "<![CDATA[") != 0 || depth() == 0) {
      GiveUp();  // a document type declaration, or misplaced markup
      return nullptr;
    }
    const size_t at = rest.find("]]>", 9);
    if (at == std::string_view::npos) return nullptr;
    const char* s = p + 9;
    const char* e = p + at;
    if (std::memchr(s, '\r', static_cast<size_t>(e - s)) == nullptr) {
      if (e > s) handler_.Text(s, static_cast<int>(e - s));
    } else {
      text_.clear();
      for (const char* q = s; q < e; ++q) {
        if (*q == '\r') {
          text_ += '\n';
          if (q + 1 < e && q[1] == '\n') ++q;
        } else {
          text_ += *q;
        }
      }
      handler_.Text(text_.data(), static_cast<int>(text_.size()));
    }
    return p + at + 3;
  }

  // A processing instruction at `p`, skipped; the XML declaration is checked.
  const char* Instruction(const char* p, const char* end) {
    const std::string_view rest(p, static_cast<size_t>(end - p));
    const size_t at = rest.find("?>", 2);
    if (at == std::string_view::npos) return nullptr;
    const char* t = p + 2;
    const char* te = t;
    while (te < p + at && !IsSpace(*te)) ++te;
    if (!IsName(t, te) || (te < p + at && !IsSpace(*te))) {
      GiveUp();
      return nullptr;
    }
    const std::string_view target(t, static_cast<size_t>(te - t));
    if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
        (target[2] | 0x20) == 'l') {
      if (started_ || target != "xml" || !Declaration(te, p + at)) {
        GiveUp();
        return nullptr;
      }
    }
    return p + at + 2;
  }

  // The pseudo-attributes of the XML declaration: version, then optionally
  // encoding (UTF-8 only) and standalone, in that order.
  static bool Declaration(const char* p, const char* end) {
    const char* const names[] = {"version", "encoding", "standalone"};
    int next = 0;
    bool any = false;
    for (;;) {
      const char* s = p;
      while (p < end && IsSpace(*p)) ++p;
      if (p == end) return any;
      if (p == s) return false;
      const char* n = p;
      while (p < end && *p != '=' && !IsSpace(*p)) ++p;
      const std::string_view name(n, static_cast<size_t>(p - n));
      while (p < end && IsSpace(*p)) ++p;
      if (p == end || *p != '=') return false;
      ++p;
      while (p < end && IsSpace(*p)) ++p;
      if (p == end || (*p != '"' && *p != '\'')) return false;
      const char q = *p++;
      const char* v = p;
      while (p < end && *p != q) ++p;
      if (p == end) return false;
      const std::string_view value(v, static_cast<size_t>(p - v));
      ++p;
      int which = next;
      while (which < 3 && name != names[which]) ++which;
      if (which == 3 || (which > 0 && !any)) return false;
      if (which == 0) {
        if (value.size() < 3 || value.compare(0, 2, "1.") != 0) return false;
        for (char c : value.substr(2)) {
          if (c < '0' || c > '9') return false;
        }
      } else if (which == 1) {
        if (value.size() != 5) return false;
        const char* u = "utf-8";
        for (size_t i = 0; i < 5; ++i) {
          if ((value[i] | 0x20) != u[i] && !(i == 3 && value[i] == '-')) return false;
        }
      } else if (value != "yes" && value != "no") {
        return false;
      }
      any = true;
      next = which + 1;
    }
  }

  size_t depth() const { return open_.size(); }

  // "name [blanks]" between "</" and '>': must close the innermost open element.
  bool EndTag(const char* n, const char* close) {
    const char* e = close;
    while (e > n && IsSpace(e[-1])) --e;
    if (open_.empty()) return false;
    // Equal to the open element's name, it is a name too.
    const size_t start = open_.back();
    const std::string_view name(n, static_cast<size_t>(e - n));
    if (!SameBytes(std::string_view(names_).substr(start), name)) return false;
    open_.pop_back();
    if (open_.empty()) root_closed_ = true;
    handler_.End(Local(std::string_view(names_).substr(start)));
    names_.resize(start);
    return true;
  }

  // A start tag without attributes, "name>" after the '<' at `p`, inside the
  // root element: what StartTag would hand over, without its general path.
  // With a text that needs no replacing and its end tag right after it
  // ("name>text</name>"), the whole element goes to the handler's Leaf, which
  // stands for what StartTag, TextRun and EndTag would hand over. Returns the
  // position after what it read, null for anything else (StartTag's to read,
  // or to wait for).
  const char* BareStart(const char* p, const char* end) {
    if (depth() == 0 || p == end || !IsNameStart(*p)) return nullptr;
    const char* const name_end = SkipName(p, end);
    if (name_end == end || *name_end != '>') return nullptr;
    const char* const text = name_end + 1;
    // One look at each byte: the text's end, and whether it holds a byte
    // TextRun would have to replace or refuse.
    const char* lt = text;
    while (lt < end && kLeafTextStop[static_cast<unsigned char>(*lt)] == 0) ++lt;
    const std::string_view qname(p, static_cast<size_t>(name_end - p));
    started_ = true;
    if (lt < end && *lt == '<' && static_cast<size_t>(end - lt) >= qname.size() + 3 &&
        lt[1] == '/' && lt[qname.size() + 2] == '>' &&
        SameBytes(std::string_view(lt + 2, qname.size()), qname)) {
      handler_.Leaf(Local(qname), std::string_view(text, static_cast<size_t>(lt - text)));
      return lt + qname.size() + 3;
    }
    static const char* no_attributes[] = {nullptr};
    open_.push_back(names_.size());
    names_.append(qname);
    handler_.Start(Local(qname), no_attributes);
    return name_end + 1;
  }

  // The start tag after the '<' at `p`: "name attr="v" ... [/]>". Returns the
  // position after its '>', null when the tag is not complete yet or when it
  // leaves the tag to expat (`gave_up_`). Attributes are always checked, handed
  // over only when wanted.
  const char* StartTag(const char* p, const char* end) {
    const char* n = p;
    p = SkipName(p, end);
    if (p == end) return nullptr;
    if (root_closed_ || p == n || !IsNameStart(*n)) return Fail();
    const std::string_view qname(n, static_cast<size_t>(p - n));
    const std::string_view name = Local(qname);
    const bool wanted = handler_.WantsAttributes(name);
    spans_.clear();
    attributes_.clear();
    size_t count = 0;
    bool empty = false;
    for (;;) {
      const char* s = p;
      while (p < end && IsSpace(*p)) ++p;
      if (p == end) return nullptr;
      if (*p == '>') break;
      if (*p == '/') {
        if (p + 1 == end) return nullptr;
        if (p[1] != '>') return Fail();
        empty = true;
        ++p;
        break;
      }
      if (p == s) return Fail();  // attributes are separated by blanks
      const char* an = p;
      p = SkipName(p, end);
      if (p == end) return nullptr;
      const char* ae = p;
      if (ae == an || !IsNameStart(*an)) return Fail();
      while (p < end && IsSpace(*p)) ++p;
      if (p == end) return nullptr;
      if (*p != '=') return Fail();
      ++p;
      while (p < end && IsSpace(*p)) ++p;
      if (p == end) return nullptr;
      if (*p != '"' && *p != '\'') return Fail();
      const char quote = *p++;
      const char* v = p;
      // One look at each byte of the value: its end, and what it holds.
      uint8_t seen = 0;
      for (; p < end && *p != quote; ++p) seen |= kValueClass[static_cast<unsigned char>(*p)];
      if (p == end) return nullptr;
      if (seen & kRefused) return Fail();
      // A value whose references do not stand for characters gives up,
      // whether the handler wants it or not.
      if ((seen & kReference) && !wanted) {
        scratch_.clear();
        if (!AppendValue(v, p, scratch_)) return Fail();
      }
      const bool blanks = (seen & (kBlank | kReference)) != 0;
      const std::string_view an_view(an, static_cast<size_t>(ae - an));
      for (size_t i = 0; i < count && i < few_.size(); ++i) {
        if (SameBytes(few_[i], an_view)) return Fail();  // an attribute given twice
      }
      for (const std::string_view seen : spans_) {
        if (seen == an_view) return Fail();
      }
      if (count < few_.size()) {
        few_[count] = an_view;
      } else {
        spans_.push_back(an_view);
      }
      ++count;
      if (wanted) attributes_.push_back({an, ae, v, p, blanks});
      ++p;
    }
    // The tag is whole: its names and values are ended in place, where the
    // byte after each (a blank, '=' or the closing quote) is no longer read.
    // Only values whose blanks XML normalises or that hold references are
    // copied.
    strings_.clear();
    for (const Attribute& a : attributes_) {
      if (a.blanks && !AppendValue(a.value, a.value_end, strings_)) return Fail();
    }
    attrs_.clear();
    char* const base = buf_.data();
    size_t normalized = 0;
    for (const Attribute& a : attributes_) {
      base[a.name_end - base] = '\0';
      attrs_.push_back(a.name);
      if (a.blanks) {
        attrs_.push_back(strings_.data() + normalized);
        normalized += std::strlen(strings_.data() + normalized) + 1;
      } else {
        base[a.value_end - base] = '\0';
        attrs_.push_back(a.value);
      }
    }
    attrs_.push_back(nullptr);
    // `name` views buf_, which stays as it is until Process returns.
    if (!empty) {
      open_.push_back(names_.size());
      names_.append(qname);
    }
    started_ = true;
    handler_.Start(name, attrs_.data());
    if (empty && !handler_.stopped()) {
      handler_.End(name);
      if (open_.empty()) root_closed_ = true;
    }
    return p + 1;
  }

  const char* Fail() {
    GiveUp();
    return nullptr;
  }

  static const char* SkipName(const char* p, const char* end) {
    while (p < end && IsNameChar(*p)) ++p;
    return p;
  }

  // The name after its namespace prefix, as LocalName gives it.
  static std::string_view Local(std::string_view qname) {
    size_t i = qname.size();
    while (i > 0 && qname[i - 1] != ':') --i;
    return qname.substr(i);
  }

  // A value as XML gives it: line ends and tabs as blanks, references as the
  // characters they stand for (which stay as they are), then a NUL. False on
  // a reference that stands for no character.
  static bool AppendValue(const char* v, const char* end, std::string& out) {
    while (v < end) {
      const char c = *v;
      if (c == '&') {
        v = AppendReferenceAt(v, end, out);
        if (v == nullptr) return false;
        continue;
      }
      ++v;
      if (c == '\r' && v < end && *v == '\n') continue;
      out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
    out += '\0';
    return true;
  }

  // Where a wanted attribute's name and value lie in buf_.
  struct Attribute {
    const char *name, *name_end, *value, *value_end;
    bool blanks;
  };

  XmlHandler& handler_;
  std::string buf_, strings_, text_, scratch_;
  size_t validated_ = 0;  // bytes of buf_ checked by Validate
  std::vector<Attribute> attributes_;
  std::array<std::string_view, 16> few_;  // names of a tag's first attributes
  std::vector<std::string_view> spans_;   // and of the others
  std::vector<const char*> attrs_;
  std::string names_;         // qualified names of the open elements, end to end
  std::vector<size_t> open_;  // where each open element's name starts in names_
  bool first_ = true, gave_up_ = false, started_ = false, root_closed_ = false;
};

}  // namespace

bool ScanXmlTags(ZipPackage& zip, std::string_view name, XmlHandler& handler) {
  TagScanner scanner(handler);
  zip.Read(name, [&](const char* data, size_t size) { return scanner.Feed(data, size); });
  scanner.Finish();
  return !scanner.gave_up();
}

}  // namespace sorvane::readers
