// The sixteen checks of the samples and their field tests.
#include <gtest/gtest.h>

#include "check_cases.h"

namespace sorvane::testing {
namespace {

const std::vector<std::string> kSampleKeys = {"REVIEWED", "POINT_ID", "SAM_ID", "SAM_DATE",
                                              "COMMENTS"};
const std::vector<std::string> kInstall = {"REVIEWED", "POINT_ID",   "SAM_ID",  "INSTALL_DATE",
                                           "SAM_DATE", "SAM_SOURCE", "COMMENTS"};
const std::vector<std::vector<std::string>> kColumns = {
    {"REVIEWED", "POINT_ID", "SAM_ID", "pH"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "CELSIUS", "FAHRENHEIT"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "DO"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "TURB"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "SAM_DATE", "MATRIX", "SAM_SOURCE", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "SAM_DATE", "MATRIX", "SAM_SOURCE", "DEPTH_BLS", "COMMENTS"},
    kInstall,
    kInstall,
    {"REVIEWED", "POINT_ID", "SAM_ID", "SAM_DATE", "SAM_SOURCE", "DEPTH_BLS", "TOP_SCR", "BOT_SCR",
     "COMMENTS"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "SAM_DATE", "MATRIX", "SAM_SOURCE", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "SAM_DATE", "SAM_SOURCE", "COMMENTS"},
    kSampleKeys,
    kSampleKeys,
    {"REVIEWED", "POINT_ID", "SAM_ID", "CONTRACT"},
    {"SITE", "POINT_ID"},
    {"POINT_ID", "SAM_ID", "DUPS"},
};

// Sets field test `code` of a sample (adding it when the sample has none).
void SetTest(FacilityTest& f, const std::string& point, const std::string& id,
             const std::string& code, double v) {
  f.Delete("MT_TEMP4A", "SAM_ID = '" + id + "' AND upper(FIELDTEST) = upper('" + code + "')");
  f.Add("MT_TEMP4A", {{"POINT_ID", T(point)},
                      {"SAM_ID", T(id)},
                      {"FIELDTEST", T(code)},
                      {"VALUE", N(v)},
                      {"REVIEWED", T("NEW")}});
}

std::function<void(FacilityTest&)> Tests(const std::string& code, double s1, double s2) {
  return [=](FacilityTest& f) {
    SetTest(f, "MW-1", "S-1", code, s1);
    SetTest(f, "MW-2", "S-2", code, s2);
  };
}

std::function<void(FacilityTest&)> Sample(const std::string& id, const std::string& set) {
  return [=](FacilityTest& f) { f.Update("MT_TEMP4", set, "SAM_ID = '" + id + "'"); };
}

void AddSample(FacilityTest& f, const std::string& point, const Value& id, const std::string& date,
               const std::string& matrix, const Value& source, const Value& depth) {
  f.Add("MT_TEMP4", {{"POINT_ID", T(point)},
                     {"SAM_ID", id},
                     {"SAM_DATE", D(date)},
                     {"MATRIX", T(matrix)},
                     {"SAM_SOURCE", source},
                     {"DEPTH_BLS", depth},
                     {"CONTRACT", T(f.contract)},
                     {"COMMENTS", T("Added")},
                     {"REVIEWED", T("NEW")}});
}

const std::string kRoutine = "Routine sampling";

const std::vector<CheckCase> kCases = {
    // 4.0 pH 4 to 9.
    {"pH4And9Pass", 0, Tests("PH", 4, 9), {}},
    {"pH3_9And9_1Listed",
     0,
     Tests("ph", 3.9, 9.1),
     {{"NEW", "MW-1", "S-1", "3.9"}, {"NEW", "MW-2", "S-2", "9.1"}}},
    // 4.1 Temperature 15 to 30 Celsius, shown in whole Fahrenheit degrees too.
    {"Temperature31ListedAs87Fahrenheit",
     1,
     [](FacilityTest& f) {
       f.Delete("MT_TEMP4A", "FIELDTEST = 'TEMPERATURE'");
       SetTest(f, "MW-1", "S-1", "Temp", 31);
       SetTest(f, "MW-2", "S-2", "temperature", 14.9);
     },
     {{"NEW", "MW-1", "S-1", "31", "87"}, {"NEW", "MW-2", "S-2", "14.9", "58"}}},
    {"Temperature15And30Pass", 1, Tests("TEMPERATURE", 15, 30), {}},
    // 4.2 Dissolved oxygen 0 to 10.
    {"DissolvedOxygen10Passes", 2, Tests("DO", 10, 0), {}},
    {"DissolvedOxygenOutsideListed",
     2,
     Tests("DO", 10.5, -0.1),
     {{"NEW", "MW-1", "S-1", "10.5"}, {"NEW", "MW-2", "S-2", "-0.1"}}},
    // 4.3 Turbidity 0 to 300 in good wells; none on solid samples.
    {"Turbidity300Passes", 3, Tests("TURB", 300, 0), {}},
    {"Turbidity350AndNegativeInGoodWell",
     3,
     Tests("TURB", 350, -1),
     {{"NEW", "MW-1", "S-1", "350"}, {"NEW", "MW-2", "S-2", "-1"}}},
    {"Turbidity350InOtherWellTypePasses",
     3,
     [](FacilityTest& f) {
       Sample("S-2", "SAM_SOURCE = '" + f.other_well_source + "'")(f);
       SetTest(f, "MW-2", "S-2", "TURB", 350);
     },
     {}},
    {"AnyTurbidityOfSolidSampleListed",
     3,
     [](FacilityTest& f) { SetTest(f, "SB-1", "S-3", "turb", 0); },
     {{"NEW", "SB-1", "S-3", "0"}}},
    {"SolidSampleTurbidityWithoutValuePasses",
     3,
     [](FacilityTest& f) {
       f.Add("MT_TEMP4A",
             {{"POINT_ID", T("SB-1")}, {"SAM_ID", T("S-3")}, {"FIELDTEST", T("TURB")}});
     },
     {}},
    // 4.4 Sources of the list.
    {"UnknownSource",
     4,
     Sample("S-2", "SAM_SOURCE = 'XX'"),
     {{"NEW", "MW-2", "S-2", "6/2/2002", "LIQUID", "XX", kRoutine}}},
    {"LowerCaseSourcePasses",
     4,
     [](FacilityTest& f) { Sample("S-2", "SAM_SOURCE = lower(SAM_SOURCE)")(f); },
     {}},
    {"MissingSourceNotUnknown", 4, Sample("S-2", "SAM_SOURCE = NULL"), {}},
    // 4.5 Depths where the source needs one, and for solid samples.
    {"MissingDepthOfWellSample",
     5,
     Sample("S-1", "DEPTH_BLS = NULL"),
     {{"NEW", "MW-1", "S-1", "6/1/2002", "LIQUID", "$WELLSRC", "", kRoutine}}},
    {"SolidSampleWithoutDepth",
     5,
     [](FacilityTest& f) {
       AddSample(f, "SB-1", T("S-9"), "2002-06-05", "solid", T(f.plain_source), Null());
     },
     {{"NEW", "SB-1", "S-9", "6/5/2002", "solid", "$PLAINSRC", "", "Added"}}},
    {"BlanksAndSourcesWithoutNeedPass",
     5,
     [](FacilityTest& f) {
       AddSample(f, "SB-1", T("S-9"), "2002-06-05", "SOLID", T("TRIP"), Null());
       AddSample(f, "SB-1", T("S-10"), "2002-06-05", "SOLID", T("equipment"), Null());
       AddSample(f, "SB-1", T("S-11"), "2002-06-05", "SOLID", Null(), Null());
       Sample("S-2", "DEPTH_BLS = NULL, SAM_SOURCE = '" + f.other_well_source + "'")(f);
     },
     {}},
    // 4.6 Non-well samples at a well: on or before its install date.
    {"NonWellSampleAfterInstall",
     6,
     [](FacilityTest& f) {
       AddSample(f, "MW-1", T("S-9"), "2002-06-05", "SOLID", T(f.soil_source), N(1));
     },
     {{"NEW", "MW-1", "S-9", "3/1/2001", "6/5/2002", "$SOILSRC", "Added"}}},
    {"NonWellSampleOnInstallDatePasses",
     6,
     [](FacilityTest& f) {
       AddSample(f, "MW-1", T("S-9"), "2001-03-01", "SOLID", T(f.soil_source), N(1));
     },
     {}},
    {"WellWithoutInstallDate",
     6,
     [](FacilityTest& f) {
       f.Update("MT_TEMP2", "INSTALL_DATE = NULL", "POINT_ID = 'MW-2'");
       AddSample(f, "MW-2", T("S-9"), "1999-01-01", "SOLID", T(f.soil_source), N(1));
     },
     {{"NEW", "MW-2", "S-9", "", "1/1/1999", "$SOILSRC", "Added"}}},
    // 4.7 Well samples on or after the install date.
    {"WellSampleBeforeInstall",
     7,
     Sample("S-1", "SAM_DATE = '2001-02-28 00:00:00'"),
     {{"NEW", "MW-1", "S-1", "3/1/2001", "2/28/2001", "$WELLSRC", kRoutine}}},
    {"WellSampleOnInstallDatePasses", 7, Sample("S-1", "SAM_DATE = '2001-03-01 00:00:00'"), {}},
    {"ComparedWithTheWellsOfEverySite",
     7,
     [](FacilityTest& f) {
       f.Add("MT_TEMP2", {{"POINT_ID", T("MW-1")}, {"INSTALL_DATE", D("2003-01-01")}},
             f.other_site);
     },
     {{"NEW", "MW-1", "S-1", "1/1/2003", "6/1/2002", "$WELLSRC", kRoutine}}},
    // 4.8 Well samples within the screen.
    {"DepthOnScreenEndsPasses",
     8,
     [](FacilityTest& f) {
       Sample("S-1", "DEPTH_BLS = 10")(f);
       Sample("S-2", "DEPTH_BLS = 20")(f);
     },
     {}},
    {"DepthOutsideScreen",
     8,
     [](FacilityTest& f) {
       Sample("S-1", "DEPTH_BLS = 9.9")(f);
       Sample("S-2", "DEPTH_BLS = 25")(f);
     },
     {{"NEW", "MW-1", "S-1", "6/1/2002", "$WELLSRC", "9.9", "10", "20", kRoutine},
      {"NEW", "MW-2", "S-2", "6/2/2002", "$WELLSRC", "25", "10", "20", kRoutine}}},
    // 4.9 Matrix of the four kinds.
    {"MissingAndUnknownMatrix",
     9,
     [](FacilityTest& f) {
       Sample("S-1", "MATRIX = NULL")(f);
       Sample("S-2", "MATRIX = 'MUD'")(f);
     },
     {{"NEW", "MW-1", "S-1", "6/1/2002", "", "$WELLSRC", kRoutine},
      {"NEW", "MW-2", "S-2", "6/2/2002", "MUD", "$WELLSRC", kRoutine}}},
    {"LowerCaseMatrixPasses", 9, Sample("S-3", "MATRIX = 'sediment'"), {}},
    // 4.10 Every sample has a source.
    {"MissingSource",
     10,
     Sample("S-2", "SAM_SOURCE = NULL"),
     {{"NEW", "MW-2", "S-2", "6/2/2002", "", kRoutine}}},
    // 4.11 A sample date before now.
    {"MissingAndFutureDate",
     11,
     [](FacilityTest& f) {
       Sample("S-1", "SAM_DATE = NULL")(f);
       Sample("S-2", "SAM_DATE = '" + Tomorrow().ToIso() + "'")(f);
     },
     {{"NEW", "MW-1", "S-1", "", kRoutine}, {"NEW", "MW-2", "S-2", "$TOMORROW", kRoutine}}},
    {"DatedTodayPasses",
     11,
     [](FacilityTest& f) { Sample("S-1", "SAM_DATE = '" + Date::Today().ToIso() + "'")(f); },
     {}},
    // 4.12 Every sample has an ID.
    {"MissingSampleId",
     12,
     [](FacilityTest& f) {
       AddSample(f, "MW-1", Null(), "2002-06-05", "LIQUID", T(f.well_source), N(15));
     },
     {{"NEW", "MW-1", "", "6/5/2002", "Added"}}},
    // 4.13 Contract of the list.
    {"MissingAndUnknownContract",
     13,
     [](FacilityTest& f) {
       Sample("S-1", "CONTRACT = NULL")(f);
       Sample("S-3", "CONTRACT = 'X-1'")(f);
     },
     {{"NEW", "MW-1", "S-1", ""}, {"NEW", "SB-1", "S-3", "X-1"}}},
    // 4.14 Every point is in table 1, listed once.
    {"PointNotInTable1",
     14,
     [](FacilityTest& f) {
       AddSample(f, "MW-9", T("S-9"), "2002-06-05", "LIQUID", T(f.well_source), N(15));
       AddSample(f, "MW-9", T("S-10"), "2002-06-05", "LIQUID", T(f.well_source), N(15));
     },
     {{"$SITE", "MW-9"}}},
    // 4.15 Point and sample ID unique.
    {"SameSampleTwice",
     15,
     [](FacilityTest& f) {
       AddSample(f, "MW-1", T("S-1"), "2002-06-05", "LIQUID", T(f.well_source), N(15));
     },
     {{"MW-1", "S-1", "2"}}},
    {"SameSampleIdAtAnotherPointPasses",
     15,
     [](FacilityTest& f) {
       AddSample(f, "MW-2", T("S-1"), "2002-06-05", "LIQUID", T(f.well_source), N(15));
     },
     {}},
};

class Table4Checks : public FacilityTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Table4Checks, ListsExactlyTheProblemRows) { ExpectCase(*this, 4, GetParam(), kColumns); }

INSTANTIATE_TEST_SUITE_P(Cases, Table4Checks, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

TEST(Table4Cases, EveryCheckHasAFailingCase) { ExpectEveryCheckFails(4, kCases); }

TEST_F(FacilityTest, Table4CleanFacilityPassesWithItsColumns) {
  ExpectCleanFacilityPasses(*this, 4, kColumns);
}

// A sample without a source is the missing-source check's alone.
TEST_F(FacilityTest, MissingSourceIsListedByNoOtherSourceCheck) {
  Update("MT_TEMP4", "SAM_SOURCE = NULL, DEPTH_BLS = NULL", "SAM_ID = 'S-1'");
  Update("MT_TEMP1", "NAVD = NULL, LAT_DD = NULL", "POINT_ID = 'MW-1'");
  EXPECT_EQ(RunCheck(4, 10).RecordCount(), 1);
  for (int i : {4, 5, 6, 7, 8}) EXPECT_EQ(RunCheck(4, i).RecordCount(), 0) << "check 4." << i;
  EXPECT_EQ(RunCheck(1, 3).RecordCount(), 0);
  EXPECT_EQ(RunCheck(1, 5).RecordCount(), 0);
}

}  // namespace
}  // namespace sorvane::testing
