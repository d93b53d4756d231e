#include "import/readers/utf8.h"

namespace sorvane::readers {

void AppendCodePoint(uint32_t cp, std::string& out) {
  if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x110000) {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    AppendCodePoint(0xFFFD, out);
  }
}

void AppendLatin1(const uint8_t* data, size_t count, std::string& out) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = data[i];
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
}

void Utf16Decoder::Add(uint16_t unit, std::string& out) {
  if (high_ != 0) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendCodePoint(0x10000 + ((uint32_t{high_} - 0xD800) << 10) + (unit - 0xDC00), out);
      high_ = 0;
      return;
    }
    AppendCodePoint(0xFFFD, out);
    high_ = 0;
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    high_ = unit;
  } else {
    AppendCodePoint(unit, out);  // a lone low surrogate becomes U+FFFD there
  }
}

void Utf16Decoder::AddLe(const uint8_t* data, size_t units, std::string& out) {
  for (size_t i = 0; i < units; ++i) {
    const uint16_t u = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (u < 0x80 && high_ == 0) {
      out += static_cast<char>(u);
    } else {
      Add(u, out);
    }
  }
}

void Utf16Decoder::Finish(std::string& out) {
  if (high_ != 0) AppendCodePoint(0xFFFD, out);
  high_ = 0;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The unit of "_xHHHH_" starting at `i`, or -1.
int EscapeAt(const std::string& s, size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return -1;
  int v = 0;
  for (size_t k = i + 2; k < i + 6; ++k) {
    const int d = HexDigit(s[k]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

}  // namespace

void DecodeOoxmlEscapes(std::string& text) {
  size_t i = text.find("_x");
  if (i == std::string::npos) return;
  std::string out(text, 0, i);
  Utf16Decoder utf16;
  while (i < text.size()) {
    const int unit = EscapeAt(text, i);
    if (unit >= 0) {
      utf16.Add(static_cast<uint16_t>(unit), out);
      i += 7;
      continue;
    }
    utf16.Finish(out);
    out += text[i++];
  }
  utf16.Finish(out);
  text.swap(out);
}

}  // namespace sorvane::readers
