#include "transfer/row_pipeline.h"

#include <algorithm>
#include <utility>

namespace sorvane {

RowPipeline::RowPipeline(int64_t count, Prepare prepare, bool second_thread)
    : count_(count), prepare_(std::move(prepare)) {
  if (second_thread && count > 0) worker_ = std::thread([this] { Work(); });
}

RowPipeline::~RowPipeline() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void RowPipeline::Fill(Block& block, int64_t first) {
  const int64_t end = std::min(count_, first + kBlockRows);
  int64_t r = first;
  try {
    for (; r < end; ++r) prepare_(r, block.rows[static_cast<size_t>(r - first)]);
  } catch (...) {
    block.failure = std::current_exception();
    block.failed_at = r;
  }
}

// Block k of the table goes into blocks_[k % 2] once the caller has left the
// block that was there (k - 2), that is once it takes a row of block k - 1.
void RowPipeline::Work() {
  for (int64_t k = 0; k * kBlockRows < count_; ++k) {
    Block& block = blocks_[k % 2];
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || k < 2 || taken_block_ >= k - 1; });
      if (stop_) return;
    }
    Fill(block, k * kBlockRows);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      block.first = k * kBlockRows;
    }
    changed_.notify_all();
    if (block.failure) return;
  }
}

PreparedRow& RowPipeline::Take(int64_t record) {
  if (!worker_.joinable()) {
    single_.done = false;
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
  return block.rows[static_cast<size_t>(record - k * kBlockRows)];
}

}  // namespace sorvane
