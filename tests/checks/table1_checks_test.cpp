// The ten checks of the sample locations, each broken in turn.
#include <gtest/gtest.h>

#include "check_cases.h"

namespace sorvane::testing {
namespace {

const std::vector<std::string> kLocated = {"REVIEWED", "POINT_ID", "LAT_DD",  "LAT_MM", "LAT_SS",
                                           "LONG_DD",  "LONG_MM",  "LONG_SS", "NAVD",   "COMMENTS"};
const std::vector<std::vector<std::string>> kColumns = {
    {"REVIEWED", "POINT_ID", "LAT_DD", "SITE_LATDD", "LAT_MM", "SITE_LATMM", "LAT_SS", "LONG_DD",
     "SITE_LONGDD", "LONG_MM", "SITE_LONGMM", "LONG_SS"},
    {"REVIEWED", "POINT_ID", "COL_METHOD", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "NAVD"},
    kLocated,
    kLocated,
    kLocated,
    {"REVIEWED", "POINT_ID", "LAT_MM", "LAT_SS", "LONG_MM", "LONG_SS"},
    {"REVIEWED", "POINT_ID", "CONTRACT"},
    kLocated,
    {"POINT_ID", "DUPS"},
};

// The site record and every point at 27 deg 33 min N, 82 deg 30 min W.
void SiteAt33(FacilityTest& f) {
  f.Exec("UPDATE T_SITE SET LATDD = 27, LATMM = 33, LONGDD = 82, LONGMM = 30 WHERE SITE = '" +
         f.facility + "'");
  f.Update("MT_TEMP1", "LAT_DD = 27, LAT_MM = 33, LONG_DD = 82, LONG_MM = 30");
}

// A point at the site's degrees and minutes with the given elevation.
void AddPoint(FacilityTest& f, const std::string& id, const Value& navd) {
  f.Add("MT_TEMP1", {{"POINT_ID", id.empty() ? Null() : T(id)},
                     {"LAT_DD", N(f.site_lat_dd)},
                     {"LAT_MM", N(f.site_lat_mm)},
                     {"LAT_SS", N(0)},
                     {"LONG_DD", N(f.site_long_dd)},
                     {"LONG_MM", N(f.site_long_mm)},
                     {"LONG_SS", N(0)},
                     {"NAVD", navd},
                     {"COL_METHOD", T("A")},
                     {"CONTRACT", T(f.contract)},
                     {"COMMENTS", T("Added")},
                     {"REVIEWED", T("NEW")}});
}

void AddSample(FacilityTest& f, const std::string& point, const std::string& id,
               const std::string& matrix, const Value& source) {
  f.Add("MT_TEMP4", {{"POINT_ID", T(point)},
                     {"SAM_ID", T(id)},
                     {"SAM_DATE", D("2002-06-05")},
                     {"MATRIX", T(matrix)},
                     {"SAM_SOURCE", source},
                     {"DEPTH_BLS", N(1)},
                     {"CONTRACT", T(f.contract)},
                     {"REVIEWED", T("NEW")}});
}

const std::vector<std::string> kAddedRow = {"NEW",     "",        "$LATDD", "$LATMM", "0",
                                            "$LONGDD", "$LONGMM", "0",      "",       "Added"};
std::vector<std::string> Added(const std::string& id) {
  auto row = kAddedRow;
  row[1] = id;
  return row;
}

const std::vector<CheckCase> kCases = {
    // 1.0 Lat/Long against the site record: minutes within 2, degrees equal.
    {"LatMinutes30Against33",
     0,
     [](FacilityTest& f) {
       SiteAt33(f);
       f.Update("MT_TEMP1", "LAT_MM = 30", "POINT_ID = 'MW-2'");
     },
     {{"NEW", "MW-2", "27", "27", "30", "33", "15", "82", "82", "30", "30", "40"}}},
    {"LatMinutes31Against33Pass",
     0,
     [](FacilityTest& f) {
       SiteAt33(f);
       f.Update("MT_TEMP1", "LAT_MM = 31", "POINT_ID = 'MW-2'");
     },
     {}},
    {"LongMinutes35Pass36Listed",
     0,
     [](FacilityTest& f) {
       SiteAt33(f);
       f.Update("MT_TEMP1", "LONG_MM = 32", "POINT_ID = 'MW-1'");
       f.Update("MT_TEMP1", "LONG_MM = 33", "POINT_ID = 'SB-1'");
     },
     {{"NEW", "SB-1", "27", "27", "33", "33", "30", "82", "82", "33", "30", "0"}}},
    {"DegreesDiffer",
     0,
     [](FacilityTest& f) {
       SiteAt33(f);
       f.Update("MT_TEMP1", "LONG_DD = 83", "POINT_ID = 'MW-1'");
     },
     {{"NEW", "MW-1", "27", "27", "33", "33", "10", "83", "82", "30", "30", "20"}}},
    {"DistantSecondsPass",
     0,
     [](FacilityTest& f) {
       SiteAt33(f);
       f.Update("MT_TEMP1", "LAT_SS = 59.9, LONG_SS = 0");
     },
     {}},
    {"SiteWithoutMinutesListsNothing",
     0,
     [](FacilityTest& f) {
       SiteAt33(f);
       f.Exec("UPDATE T_SITE SET LATMM = NULL WHERE SITE = '" + f.facility + "'");
       f.Update("MT_TEMP1", "LAT_MM = 5", "POINT_ID = 'MW-2'");
     },
     {}},
    {"NewRowsBeforePrior",
     0,
     [](FacilityTest& f) {
       SiteAt33(f);
       f.Update("MT_TEMP1", "LAT_MM = 20, REVIEWED = 'PRIOR'", "POINT_ID = 'MW-1'");
       f.Update("MT_TEMP1", "LAT_MM = 20", "POINT_ID = 'SB-1'");
     },
     {{"NEW", "SB-1", "27", "27", "20", "33", "30", "82", "82", "30", "30", "0"},
      {"PRIOR", "MW-1", "27", "27", "20", "33", "10", "82", "82", "30", "30", "20"}}},

    // 1.1 Method C needs an explanation.
    {"MethodCWithNC",
     1,
     [](FacilityTest& f) {
       f.Update("MT_TEMP1", "COL_METHOD = 'c', COMMENTS = 'NC'", "POINT_ID = 'MW-1'");
     },
     {{"NEW", "MW-1", "c", "NC"}}},
    {"MethodCWithoutComment",
     1,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "COMMENTS = NULL", "POINT_ID = 'SB-1'"); },
     {{"NEW", "SB-1", "C", ""}}},
    {"MethodAWithNCPasses",
     1,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "COMMENTS = 'NC'", "POINT_ID = 'MW-1'"); },
     {}},

    // 1.2 NAVD within 2 of the facility's wells' TOC range (100.5 to 101.2).
    {"NavdAboveHighestToc",
     2,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "NAVD = 103.5", "POINT_ID = 'MW-1'"); },
     {{"NEW", "MW-1", "103.5"}}},
    {"NavdBelowLowestToc",
     2,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "NAVD = 98", "POINT_ID = 'SB-1'"); },
     {{"NEW", "SB-1", "98"}}},
    {"NavdWithinTwoPasses",
     2,
     [](FacilityTest& f) {
       f.Update("MT_TEMP1", "NAVD = 103", "POINT_ID = 'MW-1'");
       f.Update("MT_TEMP1", "NAVD = 98.6", "POINT_ID = 'SB-1'");
     },
     {}},
    {"NoWellTocListsNothing",
     2,
     [](FacilityTest& f) {
       f.Update("MT_TEMP2", "TOC = NULL");
       f.Update("MT_TEMP1", "NAVD = 500", "POINT_ID = 'MW-1'");
     },
     {}},
    {"OnlyTheFacilitysWellsCount",
     2,
     [](FacilityTest& f) {
       f.Add("MT_TEMP2", {{"POINT_ID", T("MW-1")}, {"TOC", N(500)}}, f.other_site);
       f.Update("MT_TEMP1", "NAVD = 200", "POINT_ID = 'MW-1'");
     },
     {{"NEW", "MW-1", "200"}}},

    // 1.3 NAVD needed where a sample needs a depth or is solid.
    {"MissingNavdListedOnceForTwoSamples",
     3,
     [](FacilityTest& f) {
       f.Update("MT_TEMP1", "NAVD = NULL", "POINT_ID = 'MW-1'");
       AddSample(f, "MW-1", "S-1B", "LIQUID", T(f.well_source));
     },
     {{"NEW", "MW-1", "$LATDD", "$LATMM", "10", "$LONGDD", "$LONGMM", "20", "",
       "Located by survey"}}},
    {"SolidSampleNeedsNavd",
     3,
     [](FacilityTest& f) {
       AddPoint(f, "SP-1", Null());
       AddSample(f, "SP-1", "S-9", "solid", T(f.plain_source));
     },
     {Added("SP-1")}},
    {"TripAndEquipmentBlanksNeedNone",
     3,
     [](FacilityTest& f) {
       AddPoint(f, "TB-1", Null());
       AddSample(f, "TB-1", "S-9", "SOLID", T("trip"));
       AddSample(f, "TB-1", "S-10", "SOLID", T("EQUIPMENT"));
     },
     {}},
    {"NoDepthNeededNoNavdNeeded",
     3,
     [](FacilityTest& f) {
       AddPoint(f, "PW-1", Null());
       AddSample(f, "PW-1", "S-9", "LIQUID", T(f.other_well_source));
       AddPoint(f, "X-1", Null());  // no sample at all
     },
     {}},
    {"SolidWithoutSourceNotListed",
     3,
     [](FacilityTest& f) {
       AddPoint(f, "SP-1", Null());
       AddSample(f, "SP-1", "S-9", "SOLID", Null());
     },
     {}},

    // 1.4 A located point needs method A to D.
    {"MissingMethod",
     4,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "COL_METHOD = NULL", "POINT_ID = 'MW-1'"); },
     {{"NEW", "MW-1", "$LATDD", "$LATMM", "10", "$LONGDD", "$LONGMM", "20", "100",
       "Located by survey"}}},
    {"UnknownMethod",
     4,
     [](FacilityTest& f) {
       AddPoint(f, "X-1", N(100));
       f.Update("MT_TEMP1", "COL_METHOD = 'E'", "POINT_ID = 'X-1'");
     },
     {{"NEW", "X-1", "$LATDD", "$LATMM", "0", "$LONGDD", "$LONGMM", "0", "100", "Added"}}},
    {"LowerCaseMethodPasses",
     4,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "COL_METHOD = 'd'", "POINT_ID = 'MW-1'"); },
     {}},
    {"UnlocatedPointNotListed",
     4,
     [](FacilityTest& f) {
       f.Update("MT_TEMP1", "COL_METHOD = NULL, LAT_DD = NULL", "POINT_ID = 'MW-1'");
     },
     {}},

    // 1.5 Coordinates needed where a sample needs them or is solid.
    {"MissingSecondsAtWellSample",
     5,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "LONG_SS = NULL", "POINT_ID = 'MW-1'"); },
     {{"NEW", "MW-1", "$LATDD", "$LATMM", "10", "$LONGDD", "$LONGMM", "", "100",
       "Located by survey"}}},
    {"SolidSampleNeedsCoordinates",
     5,
     [](FacilityTest& f) {
       AddPoint(f, "SP-1", N(100));
       f.Update("MT_TEMP1", "LAT_DD = NULL", "POINT_ID = 'SP-1'");
       AddSample(f, "SP-1", "S-9", "SOLID", T(f.plain_source));
       AddSample(f, "SP-1", "S-10", "SOLID", T(f.plain_source));
     },
     {{"NEW", "SP-1", "", "$LATMM", "0", "$LONGDD", "$LONGMM", "0", "100", "Added"}}},
    {"LiquidFromSourceWithoutNeedPasses",
     5,
     [](FacilityTest& f) {
       AddPoint(f, "SP-1", N(100));
       f.Update("MT_TEMP1", "LAT_DD = NULL", "POINT_ID = 'SP-1'");
       AddSample(f, "SP-1", "S-9", "LIQUID", T(f.plain_source));
       AddPoint(f, "X-1", N(100));
       f.Update("MT_TEMP1", "LAT_MM = NULL", "POINT_ID = 'X-1'");
     },
     {}},

    // 1.6 Minutes and seconds from 0 to under 60.
    {"SecondsExactly60",
     6,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "LAT_SS = 60", "POINT_ID = 'MW-1'"); },
     {{"NEW", "MW-1", "$LATMM", "60", "$LONGMM", "20"}}},
    {"MinutesMinusOne",
     6,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "LONG_MM = -1", "POINT_ID = 'MW-1'"); },
     {{"NEW", "MW-1", "$LATMM", "10", "-1", "20"}}},
    {"Minutes59Pass",
     6,
     [](FacilityTest& f) {
       f.Update("MT_TEMP1", "LAT_MM = 59, LONG_SS = 59.9", "POINT_ID = 'MW-1'");
     },
     {}},

    // 1.7 Contract of the agency's list.
    {"UnknownAndMissingContract",
     7,
     [](FacilityTest& f) {
       f.Update("MT_TEMP1", "CONTRACT = 'X-99'", "POINT_ID = 'MW-1'");
       f.Update("MT_TEMP1", "CONTRACT = NULL", "POINT_ID = 'SB-1'");
     },
     {{"NEW", "MW-1", "X-99"}, {"NEW", "SB-1", ""}}},
    {"ContractInOtherCasePasses",
     7,
     [](FacilityTest& f) { f.Update("MT_TEMP1", "CONTRACT = lower(CONTRACT)"); },
     {}},

    // 1.8 Every row has a point ID.
    {"MissingPointId",
     8,
     [](FacilityTest& f) { AddPoint(f, "", N(100)); },
     {{"NEW", "", "$LATDD", "$LATMM", "0", "$LONGDD", "$LONGMM", "0", "100", "Added"}}},

    // 1.9 Point IDs unique within the facility.
    {"SamePointTwice", 9, [](FacilityTest& f) { AddPoint(f, "mw-1", N(100)); }, {{"MW-1", "2"}}},
    {"TwoMissingPointIdsAreDuplicates",
     9,
     [](FacilityTest& f) {
       AddPoint(f, "", N(100));
       AddPoint(f, "", N(100));
     },
     {{"", "2"}}},
    {"OneMissingPointIdIsNoDuplicate", 9, [](FacilityTest& f) { AddPoint(f, "", N(100)); }, {}},
    {"SamePointInAnotherFacilityPasses",
     9,
     [](FacilityTest& f) {
       f.Add("MT_TEMP1", {{"POINT_ID", T("MW-1")}}, f.other_site);
     },
     {}},
};

class Table1Checks : public FacilityTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Table1Checks, ListsExactlyTheProblemRows) { ExpectCase(*this, 1, GetParam(), kColumns); }

INSTANTIATE_TEST_SUITE_P(Cases, Table1Checks, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

TEST(Table1Cases, EveryCheckHasAFailingCase) { ExpectEveryCheckFails(1, kCases); }

TEST_F(FacilityTest, Table1CleanFacilityPassesWithItsColumns) {
  ExpectCleanFacilityPasses(*this, 1, kColumns);
}

}  // namespace
}  // namespace sorvane::testing
