// The four reference lists a user can look at beside the data: sample sources,
// analytes with their CAS numbers, laboratories and contracts, each with its
// window caption and the query that reads it from the work database.
#pragma once

namespace sorvane {

struct ReferenceList {
  const char* caption;
  const char* sql;  // the program's SQL dialect
};

inline constexpr int kReferenceListCount = 4;

// List 0 "SAMPLE SOURCE LIST", 1 "CAS/ANALYTE LIST", 2 "LABORATORY LIST",
// 3 "CONTRACT LIST"; null for any other index.
const ReferenceList* ReferenceListAt(int index);

}  // namespace sorvane
