// The XOR obfuscation of Excel 95 workbooks, which Excel 97-2003 still
// writes when asked for it: each byte of a record's data is XORed with one of
// sixteen bytes drawn from the password, then rotated. The FILEPASS record
// holds a 16-bit key and verifier that a password either matches or not.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace sorvane::readers {

class XorObfuscation {
 public:
  // The obfuscation of `password` (UTF-8; one to fifteen characters of
  // Latin-1, as the program that wrote it takes them) where it gives the
  // FILEPASS record's key and verifier; nothing for any other password.
  static std::optional<XorObfuscation> Open(uint16_t key, uint16_t verifier,
                                            std::string_view password);

  // Restores `size` bytes of record data found at stream offset `at`, of a
  // record whose data are `length` bytes long: the array's place for a byte
  // counts from the end of its record's data.
  void Apply(uint8_t* data, size_t at, size_t size, size_t length) const;

 private:
  std::array<uint8_t, 16> array_{};
};

}  // namespace sorvane::readers
