// The stage a table has reached (`TableInfo::TableStatus`). The numbers are the
// ones the labels, the summary and the menus are derived from, so they never
// change; the names only make the code say which stage it means.
#pragma once

#include <cstdint>

namespace sorvane::stage {

enum Code : int32_t {
  kNone = 0,          // nothing done (or reset for a new site)
  kRead = 1,          // workbook read
  kFieldNames = 2,    // field names correct
  kFacilityIds = 3,   // facility IDs correct
  kDataTypes = 4,     // data types converted
  kCancelled = 5,     // transfer cancelled
  kTransferred = 6,   // transferred and standardised
  kChecksFailed = 7,  // checks run, some failed
  kChecksPassed = 8,  // checks run, all passed
};

}  // namespace sorvane::stage
