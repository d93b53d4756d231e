#include "core/text.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace sorvane {
namespace {

// Maps the two-byte UTF-8 sequences of Latin-1 letters (C3 80..C3 BF) between cases.
template <bool kUpper>
void ChangeCaseInPlace(std::string& out) {
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      if (kUpper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
      if (!kUpper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < out.size()) {
      unsigned char n = static_cast<unsigned char>(out[i + 1]);
      if (kUpper && n >= 0xA0 && n <= 0xBE && n != 0xB7) out[i + 1] = static_cast<char>(n - 0x20);
      if (!kUpper && n >= 0x80 && n <= 0x9E && n != 0x97) out[i + 1] = static_cast<char>(n + 0x20);
      ++i;
    }
  }
}

template <bool kUpper>
std::string ChangeCase(std::string_view s) {
  std::string out(s);
  ChangeCaseInPlace<kUpper>(out);
  return out;
}

}  // namespace

std::string UpperCase(std::string_view s) { return ChangeCase<true>(s); }
std::string LowerCase(std::string_view s) { return ChangeCase<false>(s); }
void UpperCaseInPlace(std::string& s) { ChangeCaseInPlace<true>(s); }

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

std::string_view TrimWhitespace(std::string_view s) {
  auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t b = 0, e = s.size();
  while (b < e && ws(s[b])) ++b;
  while (e > b && ws(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The same letters as UpperCase folds, compared in place: field lookups run it
// for every pair of a header's names, so it must not allocate.
bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto upper_ascii = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
  auto upper_latin1 = [](unsigned char n) {
    return n >= 0xA0 && n <= 0xBE && n != 0xB7 ? n - 0x20 : n;
  };
  for (size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca == 0xC3 && cb == 0xC3 && i + 1 < a.size()) {
      ++i;
      if (upper_latin1(static_cast<unsigned char>(a[i])) !=
          upper_latin1(static_cast<unsigned char>(b[i]))) {
        return false;
      }
    } else if (upper_ascii(ca) != upper_ascii(cb)) {
      return false;
    }
  }
  return true;
}

namespace {

// Length of the UTF-8 sequence starting at s[i]; an invalid or cut sequence
// counts as one byte.
size_t SequenceLength(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  if (i + len > s.size()) return 1;
  for (size_t k = 1; k < len; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  }
  return len;
}

}  // namespace

size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += SequenceLength(s, i)) ++n;
  return n;
}

size_t WellFormedUtf8At(std::string_view s, size_t i) {
  static constexpr unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  const size_t len = SequenceLength(s, i);
  const auto lead = static_cast<unsigned char>(s[i]);
  if (len == 1) return lead < 0x80 ? 1 : 0;
  unsigned cp = lead & (0x7Fu >> len);
  for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return cp >= kMin[len] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF) ? len : 0;
}

bool IsWellFormedUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
    } else if (const size_t len = WellFormedUtf8At(s, i); len > 0) {
      i += len;
    } else {
      return false;
    }
  }
  return true;
}

std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (const size_t len = WellFormedUtf8At(s, i); len > 0) {
      out.append(s.substr(i, len));
      i += len;
    } else {
      out += "\xEF\xBF\xBD";  // U+FFFD for each byte that is not part of a character
      ++i;
    }
  }
  return out;
}

std::string Utf8Prefix(std::string_view s, size_t n) {
  size_t i = 0;
  for (size_t count = 0; i < s.size() && count < n; ++count) i += SequenceLength(s, i);
  return std::string(s.substr(0, i));
}

std::string StripChar(std::string_view text, char c) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text)
    if (ch != c) out.push_back(ch);
  return out;
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t f = s.find(from, pos);
    if (f == std::string_view::npos) break;
    out.append(s.substr(pos, f - pos));
    out.append(to);
    pos = f + from.size();
  }
  out.append(s.substr(pos));
  return out;
}

std::string JoinedWithAnd(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i)
    text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  return text;
}

std::string SqlQuote(std::string_view s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string ForReading(std::string_view value, size_t max) {
  // Counting stops early: a cell of millions of characters is not walked twice.
  if (value.size() <= max) return std::string(value);
  const size_t length = Utf8Length(value);
  if (length <= max) return std::string(value);
  return Utf8Prefix(value, max) + "\u2026(" + std::to_string(length) + " characters)";
}

std::string NameWithin(std::string_view head, std::string_view tail, size_t most) {
  if (head.size() + tail.size() <= most) return std::string(head) + std::string(tail);
  char hash[18];
  std::snprintf(hash, sizeof hash, "~%016zx", std::hash<std::string_view>{}(head));
  const size_t room = most - std::min(most, tail.size() + sizeof hash - 1);
  size_t keep = std::min(room, head.size());
  // Not inside a character: a UTF-8 continuation byte is never where a cut goes.
  while (keep > 0 && keep < head.size() && (static_cast<unsigned char>(head[keep]) & 0xC0) == 0x80)
    --keep;
  return std::string(head.substr(0, keep)) + hash + std::string(tail);
}

}  // namespace sorvane
