// When a long loop over records should yield to the window: at its first record,
// so that a cancel clicked before the loop started is seen at once, and then at
// most every 20 ms (the clock is read only every 256 records), so that a large
// table is not slowed by repainting while a cancel still arrives within a
// fraction of a second.
#pragma once

#include <chrono>
#include <cstdint>

namespace sorvane {

class YieldPacer {
 public:
  static constexpr int64_t kCheckEvery = 256;
  static constexpr std::chrono::milliseconds kInterval{20};

  // Whether to yield before the record with 0-based index `record`.
  bool Due(int64_t record) {
    if (record == 0) return Mark();
    if (record % kCheckEvery != 0) return false;
    if (std::chrono::steady_clock::now() - last_ < kInterval) return false;
    return Mark();
  }

 private:
  bool Mark() {
    last_ = std::chrono::steady_clock::now();
    return true;
  }
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace sorvane
