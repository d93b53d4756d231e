// When a stage may give part of its work to a second thread: only where no
// window shows the rows it works on (the command line lets them go as it
// goes), and only for tables large enough that the thread's start pays.
#pragma once

#include <cstdint>

#include "state/run_state.h"

namespace sorvane {

// Below this many rows a second thread costs more to start than it saves.
constexpr int64_t kSecondCoreRows = 8192;

inline bool UsesSecondCore(const RunState& state, int64_t rows) {
  return !state.KeepsImportedRows && rows >= kSecondCoreRows;
}

}  // namespace sorvane
