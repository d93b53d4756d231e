// libFuzzer target: arbitrary bytes through the .xlsx path (zip package, XML
// parts, shared strings, styles, worksheet). Anything but a clean read or a
// WorkbookError is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/readers/workbook_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  sorvane::ReadLimits limits;
  limits.max_part_bytes = 64 << 20;
  limits.max_total_bytes = 128 << 20;
  limits.max_cells = 1'000'000;
  // A password as well as the default one, so that seeds encrypted with it
  // lead into the decryption of the records; the displayed text of every
  // formatted cell is worked out, so number formats are explored too.
  sorvane::ReadOptions options;
  options.limits = limits;
  options.password = "password";
  // Read as the import reads (in one pass on the range the sheet claims,
  // starting over should it not keep to it) and as a plain read does: both
  // must give the same rows, or fail alike.
  std::string outcome[2];
  for (int start_over = 0; start_over < 2; ++start_over) {
    options.may_start_over = start_over == 1;
    std::string& out = outcome[start_over];
    try {
      sorvane::ReadWorkbookFromMemory(
          bytes, "fuzz.xlsx",
          [&](int64_t n, const std::vector<std::string>& cells,
              const sorvane::RowFormats& formats) {
            // As the import does: the columns of a table's fields, not a whole
            // row of the grid's width.
            out += std::to_string(n);
            for (size_t i = 0; i < cells.size() && i < 256; ++i) {
              if (formats.Formatted(i)) formats.Shown(i, cells[i]);
              out += '|' + cells[i];
            }
            out += '\n';
            return true;
          },
          options, [&](const sorvane::SheetShape&) { out.clear(); });
    } catch (const sorvane::WorkbookError& e) {
      out = "failed: " + e.description();  // the rows read before it do not count
    }
  }
  if (outcome[0] != outcome[1]) std::abort();
  return 0;
}
