// The records of an Excel binary workbook's parts (.xlsb): each is an id of one
// or two bytes and a size of one to four bytes, both seven bits a byte, then
// the body. A part is walked as it inflates, so a worksheet of a million rows
// is never held whole; a record split between two chunks is put together
// first. Every field read is bounds-checked against its record: a record that
// runs past its part fails as truncated, a field past its record as damaged.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "import/readers/read_failure.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// The body of one record, read field by field from the front.
class XlsbFields {
 public:
  XlsbFields(const uint8_t* body, size_t size) : p_(body), end_(body + size) {}
  size_t Remaining() const { return static_cast<size_t>(end_ - p_); }
  uint8_t U8() { return *Take(1); }
  uint16_t U16() {
    const uint8_t* b = Take(2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  uint32_t U32() {
    const uint8_t* b = Take(4);
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  }
  double F64();
  void Skip(size_t n) { Take(n); }
  // A string of UTF-16 units counted by four bytes ahead of them, appended to
  // `out` as UTF-8. With `nullable`, the count 0xFFFFFFFF stands for no string.
  void WideString(std::string& out, bool nullable = false);
  // The text of a string with formatting runs (a shared string, a rich-text
  // cell): a flags byte, then the text; the runs after it are not read.
  void RichString(std::string& out) {
    U8();
    WideString(out);
  }

 private:
  const uint8_t* Take(size_t n) {
    if (Remaining() < n) Damaged("a record of the binary workbook is too short for its fields");
    const uint8_t* at = p_;
    p_ += n;
    return at;
  }
  const uint8_t* p_;
  const uint8_t* end_;
};

// Hands each record of part `part` to `on_record(id, body, size)`, which
// returns false to stop. Returns whether the part was walked to its end.
template <typename OnRecord>
bool WalkXlsbPart(ZipPackage& zip, std::string_view part, OnRecord&& on_record);

// The record walk itself, fed chunk by chunk.
class XlsbRecordSplitter {
 public:
  // Largest body a record of a workbook can need (a string of 32,767
  // characters with its runs, a long formula); a bigger one is damage.
  static constexpr uint32_t kMaxRecord = uint32_t{8} << 20;

  // Walks the complete records of `data` (after what earlier chunks left);
  // false once `on_record` asked to stop.
  template <typename OnRecord>
  bool Feed(const char* data, size_t size, OnRecord& on_record) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(data);
    const uint8_t* end = p + size;
    if (!carry_.empty()) {
      // Complete the record begun in the chunk before, from this one: its
      // header first (at most six bytes), then its body.
      while (p < end && !CarriedHeader()) carry_.push_back(static_cast<char>(*p++));
      if (!CarriedHeader()) return true;
      const size_t take = std::min(header_ + body_ - carry_.size(), static_cast<size_t>(end - p));
      carry_.append(reinterpret_cast<const char*>(p), take);
      p += take;
      if (carry_.size() < header_ + body_) return true;
      const uint8_t* c = reinterpret_cast<const uint8_t*>(carry_.data());
      if (!on_record(id_, c + header_, body_)) return false;
      carry_.clear();
    }
    while (p < end) {
      if (!Header(p, static_cast<size_t>(end - p)) ||
          static_cast<size_t>(end - p) < header_ + size_t{body_}) {
        carry_.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p));
        return true;
      }
      if (!on_record(id_, p + header_, body_)) return false;
      p += header_ + size_t{body_};
    }
    return true;
  }
  // The part ended: fails as truncated when it ended inside a record.
  void Finish() const {
    if (!carry_.empty()) Truncated("a part of the binary workbook ends inside a record");
  }

 private:
  // Reads the header at `p`; false when the bytes end inside it.
  bool Header(const uint8_t* p, size_t n);
  bool CarriedHeader() {
    return Header(reinterpret_cast<const uint8_t*>(carry_.data()), carry_.size());
  }
  std::string carry_;
  uint32_t id_ = 0, body_ = 0;
  size_t header_ = 0;
};

template <typename OnRecord>
bool WalkXlsbPart(ZipPackage& zip, std::string_view part, OnRecord&& on_record) {
  XlsbRecordSplitter splitter;
  bool whole = true;
  zip.Read(part, [&](const char* data, size_t size) {
    whole = splitter.Feed(data, size, on_record);
    return whole;
  });
  if (whole) splitter.Finish();
  return whole;
}

}  // namespace sorvane::readers
