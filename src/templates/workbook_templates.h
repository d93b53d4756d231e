// Empty workbooks for a facility, one per table, that a contractor fills in:
// named as the workbook set is named ("1234567_1.xlsx" to "1234567_5.xlsx"),
// their first sheet headed by the table's expected fields (MT_VBSTRUCTURE, as
// the field-name stage compares them) and shaped so that what is typed in
// passes the data types and the reference checks: each column kept as text,
// date or number as its field's type, and checked as it is typed (a text no
// longer than its field, a whole number, a date; the Facility ID; a choice of
// the agency's sample sources, contracts, laboratories and contaminant names,
// which a person may still pass by after a warning). A second sheet lists the
// fields; a hidden third holds the choices.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "state/run_state.h"

namespace sorvane {

// Writes the five templates into `folder` (made when missing) from the
// structures of state.TempRecordset and the reference tables of the work
// database. A file of the same name already there is never replaced: the
// templates are refused with Error 58 ("File already exists"), naming it,
// before any is written; an ID holding a "/" is refused with Error 52. Other
// failures throw FileError naming the file, and leave none of the templates
// written so far.
std::vector<std::filesystem::path> WriteWorkbookTemplates(RunState& state,
                                                          const std::string& facility_id,
                                                          const std::filesystem::path& folder);

}  // namespace sorvane
