#include "import/readers/xml_tag_scanner.h"

#include <cstring>
#include <string>
#include <vector>

namespace sorvane::readers {
namespace {

constexpr size_t kMaxPending = 1 << 20;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class TagScanner {
 public:
  explicit TagScanner(XmlHandler& handler) : handler_(handler) {}

  // False to stop: the handler is done, or the scanner gives up (`gave_up_`).
  bool Feed(const char* data, size_t size) {
    if (first_) {
      first_ = false;
      // UTF-16 text (with or without byte-order mark) is expat's to read.
      if (size >= 2 &&
          (data[0] == '\0' || data[1] == '\0' || (static_cast<unsigned char>(data[0]) >= 0xFE))) {
        return GiveUp();
      }
    }
    buf_.append(data, size);
    const size_t used = Process();
    if (gave_up_ || handler_.stopped()) return false;
    buf_.erase(0, used);
    if (buf_.size() > kMaxPending) return GiveUp();
    return true;
  }
  bool gave_up() const { return gave_up_; }

 private:
  enum class Skip { kNone, kComment, kCData, kPi };

  bool GiveUp() {
    gave_up_ = true;
    return false;
  }

  // Handles every complete construct of buf_; returns how many bytes it used.
  size_t Process() {
    const char* const begin = buf_.data();
    const char* const end = begin + buf_.size();
    const char* p = begin;
    while (p < end) {
      if (skip_ != Skip::kNone) {
        const char* term = skip_ == Skip::kComment ? "-->" : skip_ == Skip::kCData ? "]]>" : "?>";
        const size_t tlen = std::strlen(term);
        const std::string_view rest(p, static_cast<size_t>(end - p));
        const size_t at = rest.find(term);
        if (at == std::string_view::npos) {
          // Keep the last bytes: the terminator may be split between chunks.
          return rest.size() > tlen ? static_cast<size_t>(end - begin) - tlen
                                    : static_cast<size_t>(p - begin);
        }
        p += at + tlen;
        skip_ = Skip::kNone;
        continue;
      }
      const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
      if (lt == nullptr) return static_cast<size_t>(end - begin);
      p = lt;
      if (end - p < 2) return static_cast<size_t>(p - begin);
      if (p[1] == '!') {
        if (end - p < 9) return static_cast<size_t>(p - begin);
        if (std::memcmp(p, "<!--", 4) == 0) {
          skip_ = Skip::kComment;
          p += 4;
        } else if (std::memcmp(p, "<![CDATA[", 9) == 0) {
          skip_ = Skip::kCData;
          p += 9;
        } else {
          GiveUp();  // a document type declaration
          return 0;
        }
        continue;
      }
      if (p[1] == '?') {
        skip_ = Skip::kPi;
        p += 2;
        continue;
      }
      const char* close = TagEnd(p + 1, end);
      if (close == nullptr) return static_cast<size_t>(p - begin);
      if (p[1] == '/') {
        const char* n = p + 2;
        const char* e = close;
        while (e > n && IsSpace(e[-1])) --e;
        name_.assign(n, static_cast<size_t>(e - n));
        handler_.End(LocalName(name_.c_str()));
      } else if (!StartTag(p + 1, close)) {
        GiveUp();
        return 0;
      }
      if (handler_.stopped()) return 0;
      p = close + 1;
    }
    return static_cast<size_t>(p - begin);
  }

  // The '>' that ends the tag starting at `p`, quotes respected; null when the
  // tag is not complete yet.
  static const char* TagEnd(const char* p, const char* end) {
    // Most tags hold no quoted '>': take the first '>' when no quote precedes it.
    const auto* gt = static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(end - p)));
    if (gt == nullptr) return nullptr;
    if (std::memchr(p, '"', static_cast<size_t>(gt - p)) == nullptr &&
        std::memchr(p, '\'', static_cast<size_t>(gt - p)) == nullptr) {
      return gt;
    }
    char quote = 0;
    for (; p < end; ++p) {
      if (quote != 0) {
        if (*p == quote) quote = 0;
      } else if (*p == '"' || *p == '\'') {
        quote = *p;
      } else if (*p == '>') {
        return p;
      }
    }
    return nullptr;
  }

  // Parses "name attr="v" ... [/]" between '<' and '>'; false when it leaves the
  // tag to expat.
  bool StartTag(const char* p, const char* close) {
    const bool empty = close > p && close[-1] == '/';
    const char* end = empty ? close - 1 : close;
    const char* n = p;
    while (p < end && !IsSpace(*p)) ++p;
    if (p == n) return false;
    strings_.clear();
    offsets_.clear();
    strings_.append(n, static_cast<size_t>(p - n));
    strings_ += '\0';
    if (!handler_.WantsAttributes(LocalName(strings_.data()))) p = end;
    for (;;) {
      while (p < end && IsSpace(*p)) ++p;
      if (p == end) break;
      const char* an = p;
      while (p < end && *p != '=' && !IsSpace(*p)) ++p;
      const char* ae = p;
      while (p < end && IsSpace(*p)) ++p;
      if (p == end || *p != '=' || ae == an) return false;
      ++p;
      while (p < end && IsSpace(*p)) ++p;
      if (p == end || (*p != '"' && *p != '\'')) return false;
      const char quote = *p++;
      const char* v = p;
      while (p < end && *p != quote) ++p;
      if (p == end) return false;
      if (std::memchr(v, '&', static_cast<size_t>(p - v)) != nullptr) return false;
      offsets_.push_back(strings_.size());
      strings_.append(an, static_cast<size_t>(ae - an));
      strings_ += '\0';
      offsets_.push_back(strings_.size());
      AppendNormalized(v, p);
      strings_ += '\0';
      ++p;
    }
    attrs_.clear();
    for (size_t o : offsets_) attrs_.push_back(strings_.data() + o);
    attrs_.push_back(nullptr);
    const std::string_view local = LocalName(strings_.data());
    handler_.Start(local, attrs_.data());
    if (empty && !handler_.stopped()) handler_.End(local);
    return true;
  }

  // An attribute value as XML normalises it: line ends and tabs become blanks,
  // a CR LF pair one blank.
  void AppendNormalized(const char* v, const char* end) {
    for (; v < end; ++v) {
      const char c = *v;
      if (c == '\r' && v + 1 < end && v[1] == '\n') continue;
      strings_ += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
  }

  XmlHandler& handler_;
  std::string buf_, name_, strings_;
  std::vector<size_t> offsets_;
  std::vector<const char*> attrs_;
  Skip skip_ = Skip::kNone;
  bool first_ = true, gave_up_ = false;
};

}  // namespace

bool ScanXmlTags(ZipPackage& zip, std::string_view name, XmlHandler& handler) {
  TagScanner scanner(handler);
  zip.Read(name, [&](const char* data, size_t size) { return scanner.Feed(data, size); });
  return !scanner.gave_up();
}

}  // namespace sorvane::readers
