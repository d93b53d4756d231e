#include "import/readers/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace sorvane::readers {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The system converter's name for a code page number, or "" for none known.
std::string ConverterName(uint16_t number) {
  switch (number) {
    case 367:
      return "ASCII";
    case 1361:
      return "JOHAB";
    case 10000:
    case 32768:  // the Macintosh's own number for Mac Roman
      return "MACINTOSH";
    case 10007:
      return "MAC-CYRILLIC";
    case 10029:
      return "MAC-CENTRALEUROPE";
    case 10079:
      return "MAC-IS";
    case 32769:
      return "CP1252";
    default:
      break;
  }
  if ((number >= 437 && number <= 869) || number == 874 || number == 932 || number == 936 ||
      number == 949 || number == 950 || (number >= 1250 && number <= 1258))
    return "CP" + std::to_string(number);
  return {};
}

bool TwoByte(uint16_t number) {
  return number == 932 || number == 936 || number == 949 || number == 950 || number == 1361;
}

// Converts `in` with converter `cd` into `out`; a byte sequence it cannot
// convert becomes U+FFFD and the conversion goes on after its first byte.
void Convert(iconv_t cd, std::string_view in, std::string& out) {
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  std::vector<char> buffer(in.size() * 4 + 16);
  while (left > 0) {
    char* dst = buffer.data();
    size_t room = buffer.size();
    const size_t done = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
    if (done != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ, or EINVAL for a character cut off at the end.
    out.append(kReplacement);
    ++src;
    --left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
}

}  // namespace

CodePage::CodePage(uint16_t number) {
  name_ = ConverterName(number);
  iconv_t cd = name_.empty() ? reinterpret_cast<iconv_t>(-1) : iconv_open("UTF-8", name_.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    name_ = "CP1252";
    number = 1252;
    cd = iconv_open("UTF-8", name_.c_str());
  }
  single_ = !TwoByte(number);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter at all: the bytes above ASCII are not guessed at.
    for (std::string& s : high_) s = kReplacement;
    single_ = true;
    return;
  }
  if (single_) {
    for (int b = 0x80; b <= 0xFF; ++b) {
      const char byte = static_cast<char>(b);
      Convert(cd, std::string_view(&byte, 1), high_[b - 0x80]);
    }
  }
  iconv_close(cd);
}

void CodePage::Append(std::string_view bytes, std::string& out) const {
  size_t ascii = 0;
  while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
  out.append(bytes.substr(0, ascii));
  if (ascii == bytes.size()) return;
  bytes.remove_prefix(ascii);
  if (single_) {
    for (const char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      if (b < 0x80) {
        out += c;
      } else {
        out += high_[b - 0x80];
      }
    }
    return;
  }
  iconv_t cd = iconv_open("UTF-8", name_.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (const char c : bytes)
      out.append(static_cast<unsigned char>(c) < 0x80 ? std::string_view(&c, 1) : kReplacement);
    return;
  }
  Convert(cd, bytes, out);
  iconv_close(cd);
}

}  // namespace sorvane::readers
