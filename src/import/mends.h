// The mends a table's import findings leave no doubt about, each a cell of the
// workbook's first sheet written as the field takes it: a header cell holding
// a field's name misspelled or wrapped in characters nobody sees, a facility ID
// that lost its leading zeros, a date kept as its number, a number with a
// character nobody sees round it, a result below its detection limit written
// "<0.5" or "ND" (the limit in CONC and MDL, U in LAB_Q), units after a number
// (moved to UNITS). A finding whose mend would write over another value (an
// MDL or a qualifier that says otherwise, other units), or a cell another mend
// writes otherwise, is left to the person.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "state/run_state.h"

namespace sorvane {

struct CellMend {
  enum class Kind { kText, kNumber, kDate };
  int64_t row = 0;     // as the spreadsheet numbers its rows
  int32_t column = 0;  // 0 for A
  Kind kind = Kind::kText;
  std::string now;    // the text written, or the number as written ("0.5"), or the date shown
  double number = 0;  // a number's value, a date's serial (days from 1899-12-30)
  std::string was;    // the cell as read ("" for an empty one)
  std::string field;  // the field whose name or value the cell holds
  // What was wrong, in a few words: one of a few dozen texts, kept for the
  // program's life (a million mends of one kind share one).
  std::string_view why;
};

// The mends of the last import of table n (1..5), in the order of its rows,
// each row's by column; empty when its import found nothing to mend.
std::vector<CellMend> MendsOf(const RunState& state, int n);

// Whether the import of table n found something to mend, judged by the first
// ten thousand findings of each stage (cheap on a table of a million).
bool HasMends(const RunState& state, int n);

}  // namespace sorvane
