// The shared strings of a workbook: one text holding them all and the end of
// each, so a table of millions of strings costs its characters and four bytes
// apiece. Bounded, because a small compressed file can declare hundreds of
// millions of (empty) strings: the table never holds more than its memory
// budget nor more entries than the file makes plausible, and fails with
// kTooLarge, saying which, before it would.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::readers {

class StringTable {
 public:
  // `max_bytes`: characters plus four bytes per entry; `max_entries`: strings.
  void SetLimits(uint64_t max_bytes, uint64_t max_entries) {
    max_bytes_ = max_bytes;
    max_entries_ = max_entries;
  }
  void Add(std::string_view s);
  size_t size() const { return ends_.size(); }
  // Fails as damaged for an index past the table.
  std::string_view Get(uint64_t index) const;

 private:
  std::string text_;
  std::vector<uint32_t> ends_;
  uint64_t max_bytes_ = uint64_t{1} << 30;
  uint64_t max_entries_ = std::numeric_limits<uint64_t>::max();
};

}  // namespace sorvane::readers
