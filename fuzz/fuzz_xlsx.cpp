// libFuzzer target: arbitrary bytes through the .xlsx path (zip package, XML
// parts, shared strings, styles, worksheet), read both ways the program reads.
// Anything but the same clean read or the same WorkbookError both ways is a
// finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/readers/workbook_reader.h"
#include "read_both_ways.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  sorvane::ReadLimits limits;
  limits.max_part_bytes = 64 << 20;
  limits.max_total_bytes = 128 << 20;
  limits.max_cells = 1'000'000;
  // A password as well as the default one, so that seeds encrypted with it
  // lead into the decryption of the records.
  sorvane::ReadOptions options;
  options.limits = limits;
  options.password = "password";
  ReadBothWays(bytes, "fuzz.xlsx", options);
  return 0;
}
