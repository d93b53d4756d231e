// BIFF8 (and BIFF5) record access over an .xls workbook stream held in memory. Every read is
// bounds-checked: a record whose length runs past the stream, or a field read
// past its record, fails as truncated or damaged instead of reading foreign
// memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/readers/code_page.h"

namespace sorvane::readers {

inline constexpr uint16_t kBiffContinue = 0x003C;

// Walks the records of a stream: Next() steps to the following record.
class BiffCursor {
 public:
  BiffCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // Positions before the record at `offset` (as BOUNDSHEET gives it).
  void Seek(size_t offset) { next_ = offset; }
  // False at the end of the stream; fails as truncated when a header or body
  // runs past it.
  bool Next();
  // Id of the record after the current one, or -1 at the end of the stream.
  int PeekId() const;
  uint16_t id() const { return id_; }
  const uint8_t* body() const { return data_ + body_; }
  uint16_t length() const { return length_; }
  size_t offset() const { return offset_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t next_ = 0, offset_ = 0, body_ = 0;
  uint16_t id_ = 0, length_ = 0;
};

// Reads the fields of one record and of the CONTINUE records that follow it as
// one sequence, the way strings and string tables are split across records.
class BiffReader {
 public:
  // The current record of `cursor` only.
  explicit BiffReader(const BiffCursor& cursor);
  // The current record and the CONTINUE records right after it; `cursor` is
  // left on the last of them.
  static BiffReader WithContinues(BiffCursor& cursor);

  size_t Remaining() const;
  bool AtEnd() const { return Remaining() == 0; }
  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  double F64();
  void Skip(size_t n);
  // Reads a BIFF8 unicode string (2-byte or 1-byte length, flags, characters,
  // rich-text runs and extension data) and appends it as UTF-8 to `out` (or
  // skips it when `out` is null). Characters split across records continue
  // after a fresh flags byte, as the format stores them.
  void ReadString(bool short_length, std::string* out);
  // Reads a BIFF5 string (1-byte or 2-byte length, then that many bytes of
  // `code_page`) and appends it as UTF-8 to `out` (or skips it when null).
  void ReadByteString(bool short_length, const CodePage& code_page, std::string* out);

 private:
  struct Segment {
    const uint8_t* data;
    size_t size;
  };
  BiffReader() = default;
  void Need(size_t n);  // fails as damaged unless n bytes remain in total
  uint8_t Byte();
  std::vector<Segment> segments_;
  size_t seg_ = 0, pos_ = 0;
};

}  // namespace sorvane::readers
