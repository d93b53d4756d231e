// Standardisation of a freshly filled temporary table: key text columns in
// upper case, every row flagged "NEW", rows on or before the review date
// flagged "PRIOR" when the user asked for it, and for the analytical results
// the laboratory and contaminant names reduced to the punctuation-free
// upper-case form the reference tables are matched on, the laboratory keys
// (0 for a laboratory MT_LAB lacks) and the SPLP methods rewritten to "1312".
//
// Statements are sent through `WorkConn` in the program's dialect and are not
// caught here: a rejected statement throws (sorvane::Error) to the caller,
// which runs the whole table inside one transaction and rolls it back.
#pragma once

#include <string>
#include <string_view>

#include "state/run_state.h"

namespace sorvane {

// Standardises the temporary table "MT_TEMP" + name; name is "1", "2", "2A",
// "3", "4", "4A" or "5". Writes its progress on the table's status label.
// Throws Error for an unknown name, a review date that is not a date, or a
// statement the database rejects.
void Standardize(RunState& state, const std::string& name);

// The review date as the PRIOR statements carry it between # signs: the date
// the user typed (any accepted text form), written month first as M/D/YYYY.
// Throws Error when the review-date box does not hold a date.
std::string ReviewDateLiteral(const RunState& state);

// A contaminant (or any) name in its matching form: the ten characters
// - , blank ) ( & / . + * removed, then upper case.
std::string NormaliseName(std::string_view name);
// A laboratory name in its matching form: NormaliseName, then every
// "LABORATORIES" and then every "LABORATORY" replaced by "LAB", then every
// "INC" removed (left to right, without rescanning).
std::string NormaliseLabName(std::string_view name);

}  // namespace sorvane
