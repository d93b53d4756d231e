#include "import/readers/read_ahead.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace sorvane {
namespace {

constexpr size_t kBlockRows = 1024;
constexpr size_t kBlocks = 3;  // one being filled, up to two waiting

// Rows (and shapes, in their place among them) handed over together: one
// lock per block, not per row. The cells of all its rows in one text.
struct Block {
  struct Row {
    int64_t number = 0;
    size_t first_cell = 0, cells = 0;
    size_t filled = 0;  // the first cells, those that may hold a text: the ones kept in `text`
    RowFormats formats;
    std::optional<SheetShape> shape;  // a shape told before this row, or alone
    bool is_row = true;
  };
  std::vector<Row> rows;  // the first `used` are this block's
  size_t used = 0;
  std::string text;
  std::vector<size_t> cell_ends;  // end of each cell in `text`
  bool last = false;              // the reader has ended (or failed)
  std::exception_ptr failure;
  SheetShape result;

  void Clear() {
    used = 0;
    text.clear();
    cell_ends.clear();
  }
  Row& Next() {
    if (rows.size() == used) rows.emplace_back();
    Row& r = rows[used++];
    r.shape.reset();
    r.is_row = true;
    return r;
  }
};

class Handover {
 public:
  Handover() {
    for (size_t i = 0; i < kBlocks; ++i) free_.push_back(std::make_unique<Block>());
  }

  // Reader's side.
  Block& Filling() {
    if (!filling_) {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return !free_.empty(); });
      filling_ = std::move(free_.back());
      free_.pop_back();
      filling_->Clear();
    }
    return *filling_;
  }
  void Publish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.push_back(std::move(filling_));
    }
    changed_.notify_all();
  }

  // Caller's side.
  std::unique_ptr<Block> Take(const std::function<bool()>& while_waiting) {
    constexpr std::chrono::milliseconds kPatience{50};
    std::unique_lock<std::mutex> lock(mutex_);
    auto has_block = [&] { return !ready_.empty(); };
    while (!has_block()) {
      if (!while_waiting || stopped.load(std::memory_order_relaxed)) {
        changed_.wait(lock, has_block);
        break;
      }
      if (changed_.wait_for(lock, kPatience, has_block)) break;
      lock.unlock();
      if (!while_waiting()) stopped = true;
      lock.lock();
    }
    std::unique_ptr<Block> b = std::move(ready_.front());
    ready_.pop_front();
    return b;
  }
  void Give(std::unique_ptr<Block> b) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      free_.push_back(std::move(b));
    }
    changed_.notify_all();
  }

  std::atomic<bool> stopped{false};

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Block>> free_;
  std::deque<std::unique_ptr<Block>> ready_;
  std::unique_ptr<Block> filling_;  // the reader's own
};

void Produce(const SheetRead& read, Handover& h) {
  std::exception_ptr failure;
  SheetShape result;
  try {
    result = read(
        [&](int64_t number, const std::vector<std::string>& cells, const RowFormats& formats) {
          if (h.stopped.load(std::memory_order_relaxed)) return false;
          Block& b = h.Filling();
          Block::Row& row = b.Next();
          row.number = number;
          row.first_cell = b.cell_ends.size();
          row.cells = cells.size();
          row.filled = formats.Filled(cells);
          for (size_t c = 0; c < row.filled; ++c) {
            b.text += cells[c];
            b.cell_ends.push_back(b.text.size());
          }
          formats.CopyFor(cells, row.formats);
          if (b.used == kBlockRows) h.Publish();
          return true;
        },
        [&](const SheetShape& shape) {
          Block::Row& row = h.Filling().Next();
          row.is_row = false;
          row.shape = shape;
        });
  } catch (...) {
    failure = std::current_exception();
  }
  Block& b = h.Filling();
  b.last = true;
  b.failure = failure;
  b.result = std::move(result);
  h.Publish();
}

}  // namespace

SheetShape ReadAhead(const SheetRead& read, const ShownRowCallback& on_row,
                     const ShapeCallback& on_shape, const std::function<bool()>& while_waiting) {
  Handover h;
  std::thread reader;
  try {
    reader = std::thread([&] { Produce(read, h); });
  } catch (const std::system_error&) {
    return read(on_row, on_shape);  // no second thread to be had: read on this one
  }
  std::vector<std::string> cells;
  size_t assigned = 0;         // cells from here on are empty
  std::exception_ptr failure;  // a callback's, or the reader's unless stopped
  SheetShape result;
  for (bool last = false; !last;) {
    std::unique_ptr<Block> b;
    try {
      b = h.Take(while_waiting);
    } catch (...) {
      // The window threw: the reader is stopped and waited for first.
      if (!failure) failure = std::current_exception();
      h.stopped = true;
      b = h.Take({});
    }
    last = b->last;
    for (size_t i = 0; i < b->used && !h.stopped.load(std::memory_order_relaxed); ++i) {
      const Block::Row& row = b->rows[i];
      try {
        if (!row.is_row) {
          if (on_shape) on_shape(*row.shape);
          continue;
        }
        cells.resize(row.cells);
        for (size_t c = row.filled; c < std::min(assigned, cells.size()); ++c) cells[c].clear();
        size_t start = row.first_cell == 0 ? 0 : b->cell_ends[row.first_cell - 1];
        for (size_t c = 0; c < row.filled; ++c) {
          const size_t end = b->cell_ends[row.first_cell + c];
          cells[c].assign(b->text, start, end - start);
          start = end;
        }
        assigned = row.filled;
        if (!on_row(row.number, cells, row.formats)) h.stopped = true;
      } catch (...) {
        failure = std::current_exception();
        h.stopped = true;
      }
    }
    if (last) {
      if (!h.stopped && b->failure) failure = b->failure;
      result = b->result;
    }
    h.Give(std::move(b));
  }
  reader.join();
  if (failure) std::rethrow_exception(failure);
  return result;
}

}  // namespace sorvane
