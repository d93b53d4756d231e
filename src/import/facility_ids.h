// The facility-ID stage: every row of table n must carry the facility's ID in
// FAC_ID, and the facility must be one of the agency's sites (a T_SITE.SITE
// ending with the ID). The ID is bound as a parameter: quotes and the LIKE
// wildcards an ID may contain match only themselves.
#pragma once

#include <string>
#include <string_view>

#include "state/run_state.h"

namespace sorvane {

// True and stage 3 when every row's FAC_ID equals `facility_id` and T_SITE
// knows the facility; otherwise false, stage left at 2, and the status label
// says which ("Problem with FAC IDs", "FAC ID not in Main Database"). A failing
// site query is shown as "number description" and fails the table too.
bool CheckRowFacilityIDs(RunState& state, int n, const std::string& facility_id);

// Number of T_SITE rows whose SITE ends with `facility_id` (ignoring letter case).
int64_t CountSitesEndingWith(Connection& conn, std::string_view facility_id);

}  // namespace sorvane
