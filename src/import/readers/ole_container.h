// The compound-file (OLE2) container of .xls workbooks, through libgsf. Finds the
// workbook stream whatever the case of its name ("Workbook", "WORKBOOK", and
// "Book" of Excel 5/95) and copies it out, within the size limit. For an .xlsx
// package saved with a password, it copies out the encrypted package and its
// encryption information instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::readers {

struct WorkbookStream {
  std::string name;  // as stored in the container
  std::vector<uint8_t> bytes;
  // An encrypted .xlsx: `bytes` holds the EncryptedPackage stream.
  bool encrypted_package = false;
  std::vector<uint8_t> encryption_info;
};

// From a file on disk or from bytes in memory. Fails with kDamaged when the
// container cannot be read or an encrypted package comes without its
// encryption information, kTruncated when the stream cannot be read to its
// end, kNotSpreadsheet without a workbook
// stream and kTooLarge past `max_bytes`.
WorkbookStream ReadWorkbookStream(const std::filesystem::path& file, uint64_t max_bytes);
WorkbookStream ReadWorkbookStream(std::string_view bytes, uint64_t max_bytes);

}  // namespace sorvane::readers
