// Decryption of .xls workbook streams protected with RC4, RC4 CryptoAPI or XOR
// obfuscation: the kinds the FILEPASS record of an Excel 95 or 97-2003
// workbook announces. The records are decrypted in place; their headers, the
// records that are never encrypted and the stream offsets of the sheets stay
// as they are, so the reader walks the result like an unprotected stream.
//
// Failure: kUnsupportedFormat for kinds not supported; kEncrypted for a file
// that needs a password nobody gave; kWrongPassword when the password given
// is wrong; kDamaged for a broken FILEPASS record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace sorvane::readers {

// `filepass` is the stream offset of the FILEPASS record; the records after it
// are decrypted. `biff5`: an Excel 95 stream, whose FILEPASS names no kind.
void DecryptBiffStream(std::vector<uint8_t>& stream, size_t filepass, std::string_view password,
                       bool biff5);

}  // namespace sorvane::readers
