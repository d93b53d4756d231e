#include "transfer/transfer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <new>

#include "core/convert.h"
#include "core/errors.h"
#include "transfer/xfer_routines.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCancelMenu = menu::kCancelXfer;

int64_t RecordCount(const RunState& state, int t) {
  return state.TempRecordset[t] ? state.TempRecordset[t]->RecordCount() : 0;
}

// Runs the routines of table t; returns when the main table (without its
// companion) was done, which is what the per-record time measures.
Clock::time_point RunRoutines(RunState& state, int t) {
  Clock::time_point end;
  switch (t) {
    case 1:
      Xfer1(state);
      end = Clock::now();
      break;
    case 2:
      Xfer2(state);
      end = Clock::now();
      Xfer2A(state);
      break;
    case 3:
      Xfer3(state);
      end = Clock::now();
      break;
    case 4:
      Xfer4(state);
      end = Clock::now();
      Xfer4A(state);
      break;
    default:
      Xfer5(state);
      end = Clock::now();
      break;
  }
  return end;
}

// The transaction has put the table back as it was; the table stays at the
// stage the validations reached, so the import summary asks for a re-import.
XferOutcome TransferFailed(RunState& state, int t, int32_t status_before, const Error& e) {
  TableInfo& info = state.Tables[t];
  info.TableStatus = status_before >= stage::kCancelled ? stage::kDataTypes : status_before;
  // Rows put back by the rollback came from an earlier read.
  state.RowSources.erase(std::to_string(t));
  state.RowSources.erase(std::to_string(t) + "A");
  state.view.ProgressBar.value = state.view.ProgressBar.min;
  state.SetTableLabel(t, "Transfer to Access for Table " + std::to_string(t) + " failed. ", true);
  state.ui.MessageBox(e.NumberDescription("  "));
  return XferOutcome::kFailed;
}

XferOutcome TransferTable(RunState& state, int t, Clock::time_point start) {
  const int64_t count = RecordCount(state, t);
  std::string caption = "Transferring " + std::to_string(count) + " records of Table " +
                        std::to_string(t) + " to temporary table in Access ...";
  if (t == 5) caption += XferEstimateText(XferEstimateSeconds(state, count));
  state.view.ProgressBar.value = state.view.ProgressBar.min;
  state.SetTableLabel(t, caption, true);

  TableInfo& info = state.Tables[t];
  const int32_t status_before = info.TableStatus;
  try {
    Transaction tx(state.WorkConn);
    const Clock::time_point end = RunRoutines(state, t);
    tx.Commit();
    // A cancel seen only once the table's rows were all in leaves it whole;
    // the routines say which it was.
    if (info.TableStatus == stage::kCancelled) {
      state.SetTableLabel(t, "Transfer to Access for Table " + std::to_string(t) + " cancelled. ",
                          true);
      return XferOutcome::kCancelled;
    }
    state.SetTableLabel(t,
                        std::to_string(count) + " records of Table " + std::to_string(t) +
                            " transferred to temporary table in Access. " +
                            SkippedRowsText(info).substr(info.SkippedRows.empty() ? 0 : 1),
                        false);
    if (count > 0) {
      const std::chrono::duration<double> elapsed = end - start;
      info.XferTime = static_cast<float>(elapsed.count() / static_cast<double>(count));
    }
  } catch (const std::bad_alloc&) {
    // As any failure of the table's transfer: the tables after it still go.
    return TransferFailed(state, t, status_before, OutOfMemoryError());
  } catch (const Error& e) {
    return TransferFailed(state, t, status_before, e);
  }
  return XferOutcome::kTransferred;
}

}  // namespace

XferOutcome Xfer_to_Access(RunState& state, int t) {
  if (t < 0 || t > 5) return XferOutcome::kTransferred;
  XferOutcome outcome = XferOutcome::kTransferred;
  const Clock::time_point start = Clock::now();
  state.view.mouse_pointer = kPointerArrowHourglass;
  state.view.menus[kCancelMenu].enabled = true;

  if (t == 0) {
    for (int n = 1; n <= 5; ++n) outcome = std::max(outcome, Xfer_to_Access(state, n));
  } else {
    outcome = TransferTable(state, t, start);
  }

  state.view.mouse_pointer = kPointerDefault;
  state.view.menus[kCancelMenu].enabled = false;
  state.Refresh();
  return outcome;
}

void ExecSql(RunState& state, std::string_view sql) {
  try {
    state.WorkConn.Execute(sql);
  } catch (const Error& e) {
    state.ui.MessageBox(e.NumberDescription("  "));
  }
}

void mnuCancelXfer_Click(RunState& state) { state.CancelRequested = true; }

int64_t XferEstimateSeconds(const RunState& state, int64_t count) {
  float rate = 0;
  for (int n = 4; n >= 1; --n) {
    if (state.Tables[n].XferTime > 0) {
      rate = state.Tables[n].XferTime;
      break;
    }
  }
  if (!(rate > 0) || count <= 0) return 0;
  const double seconds = RoundHalfEven(static_cast<double>(static_cast<float>(count) * rate));
  if (!std::isfinite(seconds) ||
      seconds >= static_cast<double>(std::numeric_limits<int64_t>::max()))
    return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(seconds);
}

std::string XferEstimateText(int64_t seconds) {
  if (seconds < 120) return " ~ " + std::to_string(seconds) + " Seconds";
  const auto minutes = static_cast<int64_t>(RoundHalfEven(static_cast<double>(seconds) / 60.0));
  return " ~ " + std::to_string(minutes) + ".0 Minutes";
}

}  // namespace sorvane
