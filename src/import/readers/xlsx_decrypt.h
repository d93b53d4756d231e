// Decryption of .xlsx workbooks saved with a password: a compound file holding
// an EncryptionInfo stream (how the key is made and checked) and an
// EncryptedPackage stream (the zip package, encrypted). Standard encryption
// (AES with a SHA-1 key, versions 3.2 and 4.2) and agile encryption (version
// 4.4: AES with SHA-1 or SHA-2 keys, CBC in 4096-byte segments) are read.
//
// Failure: kUnsupportedFormat for kinds not supported and for a key stretching
// above the cap (a hostile file could otherwise keep the reader hashing for
// hours); kEncrypted for a file that needs a password nobody gave;
// kWrongPassword when the password given is wrong; kDamaged for broken streams.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::readers {

// Agile encryption names its own number of hashing rounds; more than this is
// refused. Files made by spreadsheet programs use 100,000.
inline constexpr uint32_t kMaxSpinCount = 1'000'000;

// The decrypted package (the bytes of the .xlsx zip file).
std::string DecryptPackage(const std::vector<uint8_t>& info, const std::vector<uint8_t>& package,
                           std::string_view password);

}  // namespace sorvane::readers
