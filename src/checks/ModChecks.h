// The check catalogue: the 64 data checks of the five tables (10, 17, 7, 16 and
// 14 checks), built one table at a time with the Facility ID written into every
// query. A check's index is its identity: its label, its option button and its
// number ("check 3.5" is index 5 of table 3).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checks/clsReviewObject.h"

namespace sorvane {

// Replaces `CheckList` by the catalogue of `table` (1..5) and returns its number
// of checks. Every record starts with Status true, Review "CHK<i>" and TableName
// "TEMP<table>". The Facility ID goes into the queries as the text of an SQL
// string literal (quotes doubled), so no ID can end the literal early or change
// what a query selects. A table outside 1..5 returns 0 and leaves `CheckList`
// untouched.
int16_t BuildChecks(int table, std::string_view facility_id,
                    std::vector<clsReviewObject>& CheckList);

// Number of checks of a table (0 outside 1..5).
int CheckCount(int table);

// The words that follow a failed check's description in the error workbook:
// "  (Possible Problem) ", "  (Probably a Problem) ", "  (Must be Fixed) ";
// "" for any other severity.
std::string SeverityWording(int required);

// The largest number of checks of a table; the check window has this many
// option buttons and status labels, plus one spare (indices 0..17).
inline constexpr int kMaxChecks = 17;
inline constexpr int kCheckControls = 18;

}  // namespace sorvane
