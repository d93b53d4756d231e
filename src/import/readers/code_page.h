// The 8-bit texts of Excel 5/95 workbooks, which are stored in the code page
// their CODEPAGE record names (Windows Western by default, Mac Roman for a
// Macintosh's), into UTF-8. Bytes the code page does not map become U+FFFD:
// one bad character never costs a sheet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorvane::readers {

class CodePage {
 public:
  // Code page numbers as the record stores them (1252, 10000, 932, ...); one
  // the system cannot convert is read as 1252.
  explicit CodePage(uint16_t number = 1252);
  CodePage(const CodePage&) = default;
  CodePage& operator=(const CodePage&) = default;

  // Appends the characters of `bytes` to `out`.
  void Append(std::string_view bytes, std::string& out) const;

 private:
  std::string name_;       // the converter's name, for code pages of two-byte characters
  bool single_ = true;     // one byte a character: by the table below
  std::string high_[128];  // bytes 0x80 to 0xFF, as UTF-8
};

}  // namespace sorvane::readers
