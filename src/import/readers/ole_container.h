// The compound-file (OLE2) container of .xls workbooks, through libgsf. Finds the
// workbook stream whatever the case of its name ("Workbook", "WORKBOOK", and
// "Book" of Excel 5/95) and copies it out, within the size limit. A container
// holding an encrypted .xlsx package is reported as encrypted.
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
};

// From a file on disk or from bytes in memory. Fails with kDamaged when the
// container cannot be read, kTruncated when the stream cannot be read to its
// end, kEncrypted for an encrypted package, kNotSpreadsheet without a workbook
// stream and kTooLarge past `max_bytes`.
WorkbookStream ReadWorkbookStream(const std::filesystem::path& file, uint64_t max_bytes);
WorkbookStream ReadWorkbookStream(std::string_view bytes, uint64_t max_bytes);

}  // namespace sorvane::readers
