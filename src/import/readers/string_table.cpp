#include "import/readers/string_table.h"

#include "import/readers/read_failure.h"

namespace sorvane::readers {

void StringTable::Add(std::string_view s) {
  if (ends_.size() >= max_entries_) {
    Fail(WorkbookError::Reason::kTooLarge,
         "its shared-string table holds more strings than its worksheets could use (over " +
             std::to_string(max_entries_) + ")");
  }
  // The budget also keeps every end within the four bytes it is stored in.
  const uint64_t bytes = text_.size() + s.size() + 4 * (ends_.size() + 1);
  if (bytes > max_bytes_ || text_.size() + s.size() > std::numeric_limits<uint32_t>::max()) {
    const std::string budget = max_bytes_ >= (1 << 20) ? std::to_string(max_bytes_ >> 20) + " MB"
                                                       : std::to_string(max_bytes_) + " bytes";
    Fail(WorkbookError::Reason::kTooLarge,
         "its shared strings need more than " + budget + " of memory");
  }
  text_.append(s);
  ends_.push_back(static_cast<uint32_t>(text_.size()));
}

std::string_view StringTable::Get(uint64_t index) const {
  if (index >= ends_.size()) Damaged("a cell refers to a missing shared string");
  const uint32_t begin = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(text_).substr(begin, ends_[index] - begin);
}

}  // namespace sorvane::readers
