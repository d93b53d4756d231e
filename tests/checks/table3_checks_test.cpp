// The seven checks of the water levels.
#include <gtest/gtest.h>

#include "check_cases.h"

namespace sorvane::testing {
namespace {

const std::vector<std::vector<std::string>> kColumns = {
    {"POINT_ID", "WL_DATE", "WL", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "INSTALL_DATE", "WL_DATE", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "WL_DATE", "WL", "TOC", "BOC", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "CONTRACT"},
    {"POINT_ID"},
    {"POINT_ID"},
    {"POINT_ID", "WL_DATE", "DUPS"},
};

// Changes the level of `point` measured on 2002-06-01.
std::function<void(FacilityTest&)> June1(const std::string& point, const std::string& set) {
  return [=](FacilityTest& f) {
    f.Update("MT_TEMP3", set, "POINT_ID = '" + point + "' AND WL_DATE = '2002-06-01 00:00:00'");
  };
}

void AddLevel(FacilityTest& f, const std::string& point, const std::string& date, double wl) {
  f.Add("MT_TEMP3", {{"POINT_ID", T(point)},
                     {"WL_DATE", D(date)},
                     {"WL", N(wl)},
                     {"CONTRACT", T(f.contract)},
                     {"REVIEWED", T("NEW")}});
}

void AddSample(FacilityTest& f, const std::string& point, const std::string& id,
               const std::string& source) {
  f.Add("MT_TEMP4", {{"POINT_ID", T(point)},
                     {"SAM_ID", T(id)},
                     {"SAM_DATE", D("2002-06-05")},
                     {"MATRIX", T("LIQUID")},
                     {"SAM_SOURCE", T(source)}});
}

// MW-1 with TOC 100 and BOC 30: levels from 70 to 100 lie in the casing.
void Casing100(FacilityTest& f) {
  f.Update("MT_TEMP2", "TOC = 100, BOC = 30", "POINT_ID = 'MW-1'");
}

const std::string kDriller = "Installed by driller";
const std::string kStatic = "Static level";

const std::vector<CheckCase> kCases = {
    // 3.0 A level for every measurement.
    {"MissingLevel", 0, June1("MW-2", "WL = NULL"), {{"MW-2", "6/1/2002", "", kStatic}}},
    // 3.1 Measured from the install date up to now.
    {"DatedOnInstallDatePasses", 1, June1("MW-1", "WL_DATE = '2001-03-01 00:00:00'"), {}},
    {"DatedDayBeforeInstall",
     1,
     June1("MW-1", "WL_DATE = '2001-02-28 00:00:00'"),
     {{"NEW", "MW-1", "3/1/2001", "2/28/2001", kDriller}}},
    {"DatedTodayPassesTomorrowListed",
     1,
     [](FacilityTest& f) {
       June1("MW-1", "WL_DATE = '" + Date::Today().ToIso() + "'")(f);
       June1("MW-2", "WL_DATE = '" + Tomorrow().ToIso() + "'")(f);
     },
     {{"NEW", "MW-2", "3/1/2001", "$TOMORROW", kDriller}}},
    {"DateWithoutWellNotListed",
     1,
     [](FacilityTest& f) { AddLevel(f, "MW-9", "1990-01-01", 5); },
     {}},
    // 3.2 Between TOC and TOC - BOC.
    {"Levels70And100Pass",
     2,
     [](FacilityTest& f) {
       Casing100(f);
       June1("MW-1", "WL = 70")(f);
       f.Update("MT_TEMP3", "WL = 100", "POINT_ID = 'MW-1' AND WL_DATE > '2002-06-30'");
     },
     {}},
    {"Level69_9Listed",
     2,
     [](FacilityTest& f) {
       Casing100(f);
       June1("MW-1", "WL = 69.9")(f);
     },
     {{"NEW", "MW-1", "6/1/2002", "69.9", "100", "70.", kStatic}}},
    {"LevelAboveTocListed",
     2,
     June1("MW-2", "WL = 101.3"),
     {{"NEW", "MW-2", "6/1/2002", "101.3", "101.2", "76.2", kStatic}}},
    {"LevelWithoutWellNotListed",
     2,
     [](FacilityTest& f) { AddLevel(f, "MW-9", "2002-06-01", -5); },
     {}},
    // 3.3 Contract of the list.
    {"MissingAndUnknownContract",
     3,
     [](FacilityTest& f) {
       June1("MW-2", "CONTRACT = 'X'")(f);
       f.Update("MT_TEMP3", "CONTRACT = NULL", "POINT_ID = 'MW-1' AND WL_DATE > '2002-06-30'");
     },
     {{"NEW", "MW-1", ""}, {"NEW", "MW-2", "X"}}},
    // 3.4 Every point is in table 1, listed once.
    {"PointNotInTable1",
     4,
     [](FacilityTest& f) {
       AddLevel(f, "MW-9", "2002-06-01", 90);
       AddLevel(f, "MW-9", "2002-07-01", 90);
     },
     {{"MW-9"}}},
    // 3.5 A point sampled as a well is a well of table 2.
    {"WellSampledPointWithoutWell",
     5,
     [](FacilityTest& f) {
       AddLevel(f, "MW-9", "2002-06-01", 90);
       AddLevel(f, "MW-9", "2002-07-01", 90);
       AddSample(f, "MW-9", "S-9", f.well_source);
       AddSample(f, "MW-9", "S-10", f.other_well_source);
     },
     {{"MW-9"}}},
    {"PointWithoutSamplesNotListed",
     5,
     [](FacilityTest& f) { AddLevel(f, "MW-9", "2002-06-01", 90); },
     {}},
    {"PointSampledFromSoilNotListed",
     5,
     [](FacilityTest& f) {
       AddLevel(f, "MW-9", "2002-06-01", 90);
       AddSample(f, "MW-9", "S-9", f.soil_source);
     },
     {}},
    // 3.6 One level per point and date.
    {"SamePointSameDay",
     6,
     [](FacilityTest& f) { AddLevel(f, "MW-1", "2002-06-01", 90.2); },
     {{"MW-1", "6/1/2002", "2"}}},
    {"SameDayOtherTimePasses",
     6,
     [](FacilityTest& f) { AddLevel(f, "MW-2", "2002-06-01 14:30:00", 90.2); },
     {}},
};

class Table3Checks : public FacilityTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Table3Checks, ListsExactlyTheProblemRows) { ExpectCase(*this, 3, GetParam(), kColumns); }

INSTANTIATE_TEST_SUITE_P(Cases, Table3Checks, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

TEST(Table3Cases, EveryCheckHasAFailingCase) { ExpectEveryCheckFails(3, kCases); }

TEST_F(FacilityTest, Table3CleanFacilityPassesWithItsColumns) {
  ExpectCleanFacilityPasses(*this, 3, kColumns);
}

}  // namespace
}  // namespace sorvane::testing
