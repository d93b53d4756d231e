// Table-driven check tests: each case breaks the clean facility in one way and
// names the rows one check must then list (none for a case that must pass).
// Expected texts may use $SITE, $OTHER, $CONTRACT, $ANALYTE, $ANALYTE2, $CAS,
// $CAS2, $NA_ANALYTE, $NA_CAS, $LAB, $WELLSRC, $WELL2SRC, $SOILSRC, $PLAINSRC and the site's
// $LATDD, $LATMM, $LONGDD, $LONGMM for the reference values the fixture picked;
// $TODAY and $TOMORROW as dates are shown.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "checks/ModChecks.h"
#include "core/date.h"
#include "facility_fixture.h"

namespace sorvane::testing {

using Table = std::vector<std::vector<std::string>>;

struct CheckCase {
  std::string name;
  int index;
  std::function<void(FacilityTest&)> breakit;
  Table rows;  // empty: the check passes
};

inline std::ostream& operator<<(std::ostream& os, const CheckCase& c) { return os << c.name; }

// Midnight of the day after today.
Date Tomorrow();

// Replaces the $ placeholders of expected texts by the fixture's values.
Table Expand(const FacilityTest& f, const Table& rows);

// Runs the case on table `table` and compares the check's columns and rows.
void ExpectCase(FacilityTest& f, int table, const CheckCase& c,
                const std::vector<std::vector<std::string>>& columns);

// The unbroken facility: every check of `table` lists no row, with its columns.
void ExpectCleanFacilityPasses(FacilityTest& f, int table,
                               const std::vector<std::vector<std::string>>& columns);

// Every check of `table` has at least one case that makes it fail.
void ExpectEveryCheckFails(int table, const std::vector<CheckCase>& cases);

}  // namespace sorvane::testing
