// The rows of a check query, found by an equivalent that reads fewer rows
// where the engine's plans show it gives the same rows in the same order
// (duplicate_groups.h, unmatched_keys.h, shared_walk.h), else by the query
// itself.
#pragma once

#include <string_view>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

// The rows of `jet_sql` (the program's dialect) as Connection::Query gives
// them, and its failure when it fails.
RecordSet QueryCheckRows(Connection& conn, std::string_view jet_sql);

}  // namespace sorvane
