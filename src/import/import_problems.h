// What the import of a table found wrong before any check ran, each finding
// with the workbook places it stands at: a repeated field name (both header
// cells), a value too long to read (its cell), a field missing (the header row)
// or not belonging to the table (its header cell), rows with another facility's
// ID (their FAC_ID cells), values of the wrong type (the marked cells), and
// rows left out because their first cell is empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "state/run_state.h"

namespace sorvane {

struct ImportProblem {
  // "field_name", "value_too_long", "facility_id", "data_type", "skipped_row"
  std::string kind;
  std::string text;
  std::vector<SheetPlace> places;
  int severity = 2;  // as a check's: a skipped row is probably a problem (1)
};

// The findings of the last import of table n (1..5), in the order the stages
// ran; empty for a table read and checked cleanly. Only the first `limit` are
// worded; `count`, when given, receives the number of all.
std::vector<ImportProblem> ImportProblemsOf(const RunState& state, int n, size_t limit = SIZE_MAX,
                                            size_t* count = nullptr);

// The header cell (its index in `o.fields`) whose name, no field of the table
// `structure` describes, is written nearly as the missing `field` is ("Lab Q"
// for LAB_Q, "SAMP_DATE" for SAM_DATE); -1 when none is, or several are
// equally near.
int NearHeader(const SheetOrigin& o, const RecordSet* structure, const std::string& field);

// The data-type finding of the cell of field `field` (the sheet's) of sheet
// record `record` of table n, as ImportProblemsOf words it; "" when the cell
// was not marked.
std::string MarkedCellProblem(const RunState& state, int n, int64_t record, int field);

}  // namespace sorvane
