// Rows for a bulk insert, prepared a block ahead on a second thread while the
// caller binds and writes the block before: copying and standardising a table's
// rows then overlaps the engine's own work. Without the second thread each row
// is prepared as it is taken. Either way the rows come out the same, taken in
// order 0, 1, ..., count - 1.
//
// `prepare` runs on the second thread beside the caller: it may read the rows
// as imported and anything else no one changes meanwhile, never the database.
// A row it cannot finish without the database it leaves with `done` false, for
// the caller to finish. A failure in `prepare` is thrown by the Take of the
// row it failed on; the rows before it come out as usual.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/value.h"

namespace sorvane {

struct PreparedRow {
  std::vector<Value> values;
  bool done = false;  // standardised; false: the caller standardises it
};

class RowPipeline {
 public:
  using Prepare = std::function<void(int64_t record, PreparedRow& row)>;

  RowPipeline(int64_t count, Prepare prepare, bool second_thread);
  // Stops the second thread once its current block is ready (a cancelled
  // insert does not wait for the rest of the table).
  ~RowPipeline();
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // Row `record`, prepared; valid until the next Take.
  PreparedRow& Take(int64_t record);

 private:
  static constexpr int64_t kBlockRows = 1024;
  struct Block {
    std::vector<PreparedRow> rows = std::vector<PreparedRow>(kBlockRows);
    int64_t first = -1;          // the record of rows[0]; -1 while it is being filled
    std::exception_ptr failure;  // thrown from the row it happened on
    int64_t failed_at = 0;
  };
  void Fill(Block& block, int64_t first);
  void Work();

  int64_t count_;
  Prepare prepare_;
  PreparedRow single_;  // without the second thread
  Block blocks_[2];
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  int64_t taken_block_ = -1;  // the block of the last Take
  std::thread worker_;
};

}  // namespace sorvane
