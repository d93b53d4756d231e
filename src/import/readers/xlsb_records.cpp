#include "import/readers/xlsb_records.h"

#include <cstring>

#include "import/readers/utf8.h"

namespace sorvane::readers {

double XlsbFields::F64() {
  double d;
  std::memcpy(&d, Take(8), sizeof d);
  return d;
}

void XlsbFields::WideString(std::string& out, bool nullable) {
  const uint32_t units = U32();
  if (nullable && units == 0xFFFFFFFFu) return;
  if (units > Remaining() / 2) Damaged("a string runs past the end of its record");
  Utf16Decoder utf16;
  utf16.AddLe(Take(size_t{units} * 2), units, out);
  utf16.Finish(out);
}

bool XlsbRecordSplitter::Header(const uint8_t* p, size_t n) {
  // The id: one byte, or two when the first has its high bit set.
  if (n < 1) return false;
  size_t i = 1;
  id_ = p[0] & 0x7Fu;
  if ((p[0] & 0x80) != 0) {
    if (n < 2) return false;
    if ((p[1] & 0x80) != 0) Damaged("a record id is longer than two bytes");
    id_ |= uint32_t{p[1]} << 7;
    i = 2;
  }
  // The size: seven bits a byte, low bits first, in at most four bytes.
  body_ = 0;
  for (int shift = 0;; shift += 7) {
    if (i >= n) return false;
    const uint8_t b = p[i++];
    body_ |= uint32_t{b & 0x7Fu} << shift;
    if ((b & 0x80) == 0) break;
    if (shift == 21) Damaged("a record size is longer than four bytes");
  }
  if (body_ > kMaxRecord) Damaged("a record is larger than any record of a workbook");
  header_ = i;
  return true;
}

}  // namespace sorvane::readers
