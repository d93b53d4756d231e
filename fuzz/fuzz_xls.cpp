// libFuzzer target: arbitrary bytes through the .xls path (compound file, BIFF8
// records), read both ways the program reads. Anything but the same clean read
// or the same WorkbookError both ways is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/readers/workbook_reader.h"
#include "read_both_ways.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Present every input as a compound file so the fuzzer explores BIFF records
  // rather than the format sniffing.
  static const unsigned char kOle[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::string bytes(reinterpret_cast<const char*>(kOle), sizeof kOle);
  if (size >= 8) {
    bytes.append(reinterpret_cast<const char*>(data) + 8, size - 8);
  }
  sorvane::ReadLimits limits;
  limits.max_part_bytes = 64 << 20;
  limits.max_cells = 1'000'000;
  // A password as well as the default one, so that seeds encrypted with it
  // lead into the decryption of the records.
  sorvane::ReadOptions options;
  options.limits = limits;
  options.password = "freedom";
  ReadBothWays(bytes, "fuzz.xls", options);
  return 0;
}
