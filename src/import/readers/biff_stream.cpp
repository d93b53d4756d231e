#include "import/readers/biff_stream.h"

#include <cstring>

#include "import/readers/read_failure.h"
#include "import/readers/utf8.h"

namespace sorvane::readers {

bool BiffCursor::Next() {
  if (next_ >= size_) return false;
  if (size_ - next_ < 4) Truncated("a record header runs past the end of the workbook stream");
  offset_ = next_;
  id_ = static_cast<uint16_t>(data_[next_] | (data_[next_ + 1] << 8));
  length_ = static_cast<uint16_t>(data_[next_ + 2] | (data_[next_ + 3] << 8));
  body_ = next_ + 4;
  if (size_ - body_ < length_) Truncated("a record runs past the end of the workbook stream");
  next_ = body_ + length_;
  return true;
}

int BiffCursor::PeekId() const {
  if (next_ >= size_ || size_ - next_ < 4) return -1;
  return data_[next_] | (data_[next_ + 1] << 8);
}

BiffReader::BiffReader(const BiffCursor& cursor) {
  segments_.push_back({cursor.body(), cursor.length()});
}

BiffReader BiffReader::WithContinues(BiffCursor& cursor) {
  BiffReader r(cursor);
  while (cursor.PeekId() == kBiffContinue) {
    cursor.Next();
    r.segments_.push_back({cursor.body(), cursor.length()});
  }
  return r;
}

size_t BiffReader::Remaining() const {
  size_t n = 0;
  for (size_t s = seg_; s < segments_.size(); ++s) n += segments_[s].size;
  return n - pos_;
}

void BiffReader::Need(size_t n) {
  // The common case: the bytes are in the current segment.
  if (seg_ < segments_.size() && segments_[seg_].size - pos_ >= n) return;
  if (Remaining() < n) Damaged("a record is shorter than its fields");
}

uint8_t BiffReader::Byte() {
  while (pos_ == segments_[seg_].size) {
    ++seg_;
    pos_ = 0;
  }
  return segments_[seg_].data[pos_++];
}

uint8_t BiffReader::U8() {
  Need(1);
  return Byte();
}

uint16_t BiffReader::U16() {
  Need(2);
  const uint16_t lo = Byte();
  return static_cast<uint16_t>(lo | (Byte() << 8));
}

uint32_t BiffReader::U32() {
  Need(4);
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{Byte()} << (8 * i);
  return v;
}

double BiffReader::F64() {
  Need(8);
  uint8_t b[8];
  for (auto& x : b) x = Byte();
  double d;
  std::memcpy(&d, b, sizeof d);
  return d;
}

void BiffReader::Skip(size_t n) {
  Need(n);
  while (n > 0) {
    if (pos_ == segments_[seg_].size) {
      ++seg_;
      pos_ = 0;
      continue;
    }
    const size_t take = std::min(n, segments_[seg_].size - pos_);
    pos_ += take;
    n -= take;
  }
}

void BiffReader::ReadString(bool short_length, std::string* out) {
  const size_t count = short_length ? U8() : U16();
  const uint8_t flags = U8();
  bool high = (flags & 0x01) != 0;
  const size_t runs = (flags & 0x08) ? U16() : 0;
  const size_t ext = (flags & 0x04) ? U32() : 0;
  Utf16Decoder utf16;
  size_t left = count;
  while (left > 0) {
    if (seg_ >= segments_.size()) Damaged("a string is longer than its record");
    if (pos_ == segments_[seg_].size) {
      // The characters go on in the next record, which starts with its own flags.
      ++seg_;
      pos_ = 0;
      if (seg_ >= segments_.size() || segments_[seg_].size == 0) {
        Damaged("a string is longer than its record");
      }
      high = (segments_[seg_].data[pos_++] & 0x01) != 0;
      continue;
    }
    const Segment& s = segments_[seg_];
    const size_t unit = high ? 2 : 1;
    const size_t avail = (s.size - pos_) / unit;
    if (avail == 0) Damaged("a string character is split between records");
    const size_t take = std::min(left, avail);
    if (out != nullptr) {
      if (high) {
        utf16.AddLe(s.data + pos_, take, *out);
      } else {
        AppendLatin1(s.data + pos_, take, *out);
      }
    }
    pos_ += take * unit;
    left -= take;
  }
  if (out != nullptr) utf16.Finish(*out);
  // Formatting runs and phonetic data are not part of the text.
  Skip(4 * runs);
  Skip(ext);
}

void BiffReader::ReadByteString(bool short_length, const CodePage& code_page, std::string* out) {
  const size_t count = short_length ? U8() : U16();
  Need(count);
  std::string bytes;
  bytes.reserve(count);
  for (size_t left = count; left > 0;) {
    if (pos_ == segments_[seg_].size) {
      ++seg_;
      pos_ = 0;
      continue;
    }
    const size_t take = std::min(left, segments_[seg_].size - pos_);
    bytes.append(reinterpret_cast<const char*>(segments_[seg_].data + pos_), take);
    pos_ += take;
    left -= take;
  }
  if (out != nullptr) code_page.Append(bytes, *out);
}

}  // namespace sorvane::readers
