// Conversions of the character encodings workbooks store into UTF-8. Invalid
// input (an unpaired surrogate) becomes U+FFFD instead of failing, so one bad
// character never costs a whole sheet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorvane::readers {

void AppendCodePoint(uint32_t cp, std::string& out);

// Appends `count` 8-bit characters, each the low byte of a UTF-16 unit
// (Latin-1), the "compressed" strings of .xls files.
void AppendLatin1(const uint8_t* data, size_t count, std::string& out);

// Decodes UTF-16LE units one at a time, pairing surrogates across calls (a
// string of an .xls file may be split across records between the two halves).
class Utf16Decoder {
 public:
  void Add(uint16_t unit, std::string& out);
  void AddLe(const uint8_t* data, size_t units, std::string& out);
  // Ends the string: a pending high surrogate becomes U+FFFD.
  void Finish(std::string& out);

 private:
  uint16_t high_ = 0;
};

// Replaces the "_xHHHH_" escapes of OOXML strings by the characters they stand
// for ("_x000D_" is a carriage return; "_x005F_" an underscore, so
// "_x005F_x000D_" reads "_x000D_"). Text without escapes is left untouched.
void DecodeOoxmlEscapes(std::string& text);

}  // namespace sorvane::readers
