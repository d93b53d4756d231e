// Rows for a bulk insert, prepared a block ahead on a second thread while the
// caller binds and writes the block before: copying and standardising a table's
// rows then overlaps the engine's own work. Without the second thread each item
// is prepared as it is taken. Either way the items come out the same, taken in
// order 0, 1, ..., count - 1.
//
// `prepare` runs on the second thread beside the caller: it may read the rows
// as imported and anything else no one changes meanwhile, never the database.
// A row it cannot finish without the database it leaves for the caller to
// finish (see PreparedRow::done). A failure in `prepare` is thrown by the Take
// of the item it failed on; the items before it come out as usual.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "core/value.h"

namespace sorvane {

// One row of a main table.
struct PreparedRow {
  std::vector<Value> values;
  bool done = false;  // standardised; false: the caller standardises it
};

// The rows one record gives a companion table: one per parameter present.
struct PreparedRecord {
  std::vector<std::vector<Value>> rows;  // the first `count` are this record's
  std::vector<uint8_t> parameters;       // the parameter of each
  size_t count = 0;
  bool done = false;
};

template <typename Item>
class RowPipeline {
 public:
  using Prepare = std::function<void(int64_t record, Item& item)>;

  RowPipeline(int64_t count, Prepare prepare, bool second_thread)
      : count_(count), prepare_(std::move(prepare)) {
    if (second_thread && count > 0) {
      try {
        worker_ = std::thread([this] { Work(); });
      } catch (const std::system_error&) {
        // No second thread to be had: each item is prepared as it is taken.
      }
    }
  }
  // Stops the second thread once its current block is ready (a cancelled
  // insert does not wait for the rest of the table).
  ~RowPipeline() {
    if (!worker_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // Item `record`, prepared; valid until the next Take.
  Item& Take(int64_t record) {
    if (!worker_.joinable()) {
      prepare_(record, single_);
      return single_;
    }
    const int64_t k = record / kBlockRows;
    Block& block = blocks_[k % 2];
    if (k != taken_block_) {
      std::unique_lock<std::mutex> lock(mutex_);
      taken_block_ = k;
      changed_.notify_all();
      changed_.wait(lock, [&] { return block.first == k * kBlockRows; });
    }
    if (block.failure && record >= block.failed_at) std::rethrow_exception(block.failure);
    return block.items[static_cast<size_t>(record - k * kBlockRows)];
  }

 private:
  static constexpr int64_t kBlockRows = 1024;
  struct Block {
    std::vector<Item> items = std::vector<Item>(kBlockRows);
    int64_t first = -1;  // the record of items[0] once they are ready
    std::exception_ptr failure;
    int64_t failed_at = 0;
  };

  // Block k of the table goes into blocks_[k % 2] once the caller has left the
  // block that was there (k - 2), that is once it takes an item of block k - 1.
  void Work() {
    for (int64_t k = 0; k * kBlockRows < count_; ++k) {
      Block& block = blocks_[k % 2];
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || k < 2 || taken_block_ >= k - 1; });
        if (stop_) return;
      }
      const int64_t first = k * kBlockRows;
      const int64_t end = std::min(count_, first + kBlockRows);
      int64_t r = first;
      try {
        for (; r < end; ++r) prepare_(r, block.items[static_cast<size_t>(r - first)]);
      } catch (...) {
        block.failure = std::current_exception();
        block.failed_at = r;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        block.first = first;
      }
      changed_.notify_all();
      if (block.failure) return;
    }
  }

  int64_t count_;
  Prepare prepare_;
  Item single_;  // without the second thread
  Block blocks_[2];
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  int64_t taken_block_ = -1;  // the block of the last Take
  std::thread worker_;
};

}  // namespace sorvane
