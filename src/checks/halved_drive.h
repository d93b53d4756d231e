// A check query of one or more SELECTs joined by UNION [ALL], with an ORDER BY
// at the end or none (SQLite text), each of which reads one large table T
// whole as its outer loop,
//
//   SELECT ... FROM T [JOIN ...] WHERE ... UNION SELECT ... FROM ... T ... ORDER BY ...
//
// (5.9, the units that do not fit a sample's matrix, reads every sample and
// looks up its results). A row of T that gives no row in any SELECT can go
// without changing what the query gives: the rows it does give are met in
// the same order. Those rows of T are found by the SELECTs themselves, run
// over the two halves of T's rowids at once (halved_scan.h); the query then
// runs over a copy of T holding just them (same columns, indexes and rowids,
// table_copy.h) in T's place, on the same plan, which the engine's plans are
// compared for. On two cores it takes about half the time of the query's own
// run where the rows found are few.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/record_set.h"
#include "workdb/connection.h"
#include "workdb/halved_scan.h"

namespace sorvane {

struct HalvedDrive {
  std::string table;              // T
  std::string find;               // T's rowids of rows giving a row, of rowids ?1 to ?2
  std::string over_copy;          // the query with the copy in T's place
  std::vector<std::string> copy;  // the statements making the empty copy
  std::string fill;               // T's rows of rowids ?1 (a JSON array) into the copy
  std::vector<std::string> own_plan;
};

// How `sql` may run as above, or nothing; nothing too when no core is free
// for the second half (the query's own run costs less), or T has fewer than
// a tenth of LeastRowsToHalve's rows (a second connection would cost more
// than it saves; each row of T here is looked up in another table, so fewer
// of them pay than of a table only read).
std::optional<HalvedDrive> FindHalvedDrive(Connection& conn, std::string_view sql);

// The query's rows, as running it would give them; both reads see the same
// rows, and the copy is gone after. Nothing when T's rows that give a row are
// too many to copy with profit, or the plan over the copy differs. Throws
// what the engine throws.
std::optional<RecordSet> RunHalvedDrive(Connection& conn, const HalvedDrive& drive);

}  // namespace sorvane
