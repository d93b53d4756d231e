// The fourteen checks of the analytical results.
#include <gtest/gtest.h>

#include "check_cases.h"

namespace sorvane::testing {
namespace {

const std::vector<std::string> kConflict = {"REVIEWED",  "POINT_ID", "SAM_ID",
                                            "CONT_NAME", "MDL",      "CONCENTRATION",
                                            "LAB_Q",     "COMMENTS", "LABORATORY"};
const std::vector<std::vector<std::string>> kColumns = {
    {"REVIEWED", "LABORATORY"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "CONT_NAME", "MDL", "UNITS", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "CONT_NAME", "MDL", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "METHOD", "CONT_NAME", "COMMENTS"},
    {"REVIEWED", "CAS_NUMBER", "CONT_NAME_NOFORMAT", "COMMENTS", "LABORATORY"},
    {"REVIEWED", "CONT_NAME", "CAS_NUMBER", "SHOULDBE", "LABORATORY"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "LAB_Q", "CONT_NAME", "MDL", "UNITS", "COMMENTS"},
    kConflict,
    kConflict,
    {"REVIEWED", "SITE", "POINT_ID", "SAM_ID", "MATRIX", "METHOD", "UNITS"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "CONT_NAME", "MDL", "UNITS", "COMMENTS", "LABORATORY"},
    {"REVIEWED", "POINT_ID", "SAM_ID", "CONT_NAME", "MDL", "LAB_Q", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "SAM_ID"},
    {"POINT_ID", "SAM_ID", "METHOD", "CONT_NAME", "LABORATORY", "DUPS"},
};

// The clean facility's results by insertion order:
//   1 MW-1 S-1 8260  $ANALYTE    conc 5  MDL 1   D ug/l
//   2 MW-1 S-1 8260  $ANALYTE2   conc 3  MDL 1   J ug/l
//   3 MW-2 S-2 8260  $ANALYTE    conc 1  MDL 1   U ug/l
//   4 MW-2 S-2 418.1 $NA_ANALYTE conc 2  MDL 0.5 D mg/l
//   5 SB-1 S-3 8260  $ANALYTE    conc 40 MDL 2   D ug/kg  (solid)
void SetResult(FacilityTest& f, int n, const std::string& set) {
  f.Update("MT_TEMP5", set, "rowid = " + std::to_string(n));
}
std::function<void(FacilityTest&)> Result(int n, const std::string& set) {
  return [=](FacilityTest& f) { SetResult(f, n, set); };
}

// A copy of result `n`, changed by `set`.
void CopyResult(FacilityTest& f, int n, const std::string& set) {
  f.Exec("INSERT INTO MT_TEMP5 SELECT * FROM MT_TEMP5 WHERE rowid = " + std::to_string(n));
  f.Exec("UPDATE MT_TEMP5 SET " + set + " WHERE rowid = (SELECT max(rowid) FROM MT_TEMP5)");
}

// A sample S-9 at MW-1 with the given matrix and one result in `units` by `method`.
void AddSampleWithResult(FacilityTest& f, const std::string& site, const std::string& matrix,
                         const std::string& method, const std::string& units) {
  f.Add("MT_TEMP4",
        {{"POINT_ID", T("MW-1")},
         {"SAM_ID", T("S-9")},
         {"SAM_DATE", D("2002-06-05")},
         {"MATRIX", T(matrix)}},
        site);
  f.Add("MT_TEMP5",
        {{"POINT_ID", T("MW-1")},
         {"SAM_ID", T("S-9")},
         {"METHOD", T(method)},
         {"UNITS", T(units)},
         {"REVIEWED", T("NEW")}},
        site);
}

const std::string kReport = "Report 12";

const std::vector<CheckCase> kCases = {
    // 5.0 Laboratories of the list, once per flag.
    {"UnknownLaboratoryOncePerFlag",
     0,
     [](FacilityTest& f) {
       SetResult(f, 1, "LAB = 0, LABORATORY = 'Nowhere Lab'");
       SetResult(f, 2, "LAB = 0, LABORATORY = 'Nowhere Lab'");
       SetResult(f, 3, "LAB = 0, LABORATORY = 'Nowhere Lab', REVIEWED = 'PRIOR'");
     },
     {{"NEW", "Nowhere Lab"}, {"PRIOR", "Nowhere Lab"}}},
    {"UnknownLaboratoryWithoutNameNotListed", 0, Result(1, "LAB = 0, LABORATORY = NULL"), {}},
    // 5.1 Units given.
    {"MissingUnitsNewFirst",
     1,
     [](FacilityTest& f) {
       SetResult(f, 2, "UNITS = NULL, REVIEWED = 'PRIOR'");
       SetResult(f, 4, "UNITS = NULL");
     },
     {{"NEW", "MW-2", "S-2", "$NA_ANALYTE", "0.5", "", kReport},
      {"PRIOR", "MW-1", "S-1", "$ANALYTE2", "1", "", kReport}}},
    // 5.2 Detection limit given.
    {"MissingMdl", 2, Result(5, "MDL = NULL"), {{"NEW", "SB-1", "S-3", "$ANALYTE", "", kReport}}},
    // 5.3 Method given and not blank.
    {"BlankEmptyAndMissingMethods",
     3,
     [](FacilityTest& f) {
       SetResult(f, 1, "METHOD = '  '");
       SetResult(f, 2, "METHOD = NULL");
       SetResult(f, 3, "METHOD = ''");
     },
     {{"NEW", "MW-1", "S-1", "  ", "$ANALYTE", kReport},
      {"NEW", "MW-1", "S-1", "", "$ANALYTE2", kReport},
      {"NEW", "MW-2", "S-2", "", "$ANALYTE", kReport}}},
    // 5.4 Contaminants known to the analyte list.
    {"UnknownContaminant",
     4,
     Result(2, "CONT_NAME_NOFORMAT = 'UNOBTAINIUM', CAS_NUMBER = '1-1-1'"),
     {{"NEW", "1-1-1", "UNOBTAINIUM", kReport, "$LAB"}}},
    {"SameUnknownContaminantListedOnce",
     4,
     [](FacilityTest& f) {
       SetResult(f, 1, "CONT_NAME_NOFORMAT = 'UNOBTAINIUM'");
       SetResult(f, 3, "CONT_NAME_NOFORMAT = 'UNOBTAINIUM'");
     },
     {{"NEW", "$CAS", "UNOBTAINIUM", kReport, "$LAB"}}},
    // 5.5 CAS number of the analyte list, for samples after 31 August 2000.
    {"WrongCas",
     5,
     Result(2, "CAS_NUMBER = '000-00-0'"),
     {{"NEW", "$ANALYTE2", "000-00-0", "$CAS2", "$LAB"}}},
    {"SampleOn31August2000Ignored",
     5,
     [](FacilityTest& f) {
       SetResult(f, 2, "CAS_NUMBER = '000-00-0'");
       f.Update("MT_TEMP4", "SAM_DATE = '2000-08-31 00:00:00'", "SAM_ID = 'S-1'");
     },
     {}},
    {"SampleOn1September2000Listed",
     5,
     [](FacilityTest& f) {
       SetResult(f, 2, "CAS_NUMBER = '000-00-0'");
       f.Update("MT_TEMP4", "SAM_DATE = '2000-09-01 00:00:00'", "SAM_ID = 'S-1'");
     },
     {{"NEW", "$ANALYTE2", "000-00-0", "$CAS2", "$LAB"}}},
    {"NaReferenceCasAndUnknownContaminantIgnored",
     5,
     [](FacilityTest& f) {
       SetResult(f, 4, "CAS_NUMBER = '123-45-6'");
       SetResult(f, 2, "CAS_NUMBER = '000-00-0', CONT_NAME_NOFORMAT = 'UNOBTAINIUM'");
     },
     {}},
    // 5.6 Qualifier given.
    {"MissingQualifier",
     6,
     Result(1, "LAB_Q = NULL"),
     {{"NEW", "MW-1", "S-1", "", "$ANALYTE", "1", "ug/l", kReport}}},
    // 5.7 Detection limit above concentration needs a J.
    {"MdlAboveConcentrationWithU",
     7,
     Result(1, "MDL = 5, CONCENTRATION = 3, LAB_Q = 'U'"),
     {{"NEW", "MW-1", "S-1", "$ANALYTE", "5", "3", "U", kReport, "$LAB"}}},
    {"MdlAboveConcentrationWithUJPasses",
     7,
     Result(1, "MDL = 5, CONCENTRATION = 3, LAB_Q = 'UJ'"),
     {}},
    {"MdlAboveConcentrationWithoutQualifierNotListed",
     7,
     Result(1, "MDL = 5, CONCENTRATION = 3, LAB_Q = NULL"),
     {}},
    // 5.8 Qualifier U needs MDL = concentration.
    {"UWithMdlAboveConcentration",
     8,
     Result(1, "MDL = 5, CONCENTRATION = 3, LAB_Q = 'U'"),
     {{"NEW", "MW-1", "S-1", "$ANALYTE", "5", "3", "U", kReport, "$LAB"}}},
    {"UJWithMdlAboveConcentrationPasses",
     8,
     Result(1, "MDL = 5, CONCENTRATION = 3, LAB_Q = 'UJ'"),
     {}},
    // 5.9 Units that fit the sample's matrix (every facility).
    {"LiquidInSoilUnitsBy8260",
     9,
     Result(1, "UNITS = 'ug/kg'"),
     {{"NEW", "$SITE", "MW-1", "S-1", "LIQUID", "8260", "ug/kg"}}},
    {"LiquidInSoilUnitsByLeachMethodPasses", 9, Result(1, "UNITS = 'ug/kg', METHOD = '1311'"), {}},
    {"GasInPpbvListedInUG_M3Passes",
     9,
     [](FacilityTest& f) {
       AddSampleWithResult(f, f.facility, "GAS", "TO-15", "ppbv");
       AddSampleWithResult(f, f.facility, "GAS", "TO-14", "UG/M3");
     },
     {{"NEW", "$SITE", "MW-1", "S-9", "GAS", "TO-15", "ppbv"}}},
    {"SolidInWaterUnitsUnless1312",
     9,
     [](FacilityTest& f) {
       SetResult(f, 5, "UNITS = 'mg/l'");
       CopyResult(f, 5, "METHOD = '1312', UNITS = 'ug/l'");
     },
     {{"NEW", "$SITE", "SB-1", "S-3", "SOLID", "8260", "mg/l"}}},
    {"AnotherFacilityIsListedToo",
     9,
     [](FacilityTest& f) { AddSampleWithResult(f, f.other_site, "LIQUID", "8270", "mg/kg"); },
     {{"NEW", "$OTHER", "MW-1", "S-9", "LIQUID", "8270", "mg/kg"}}},
    // 5.10 Laboratory given.
    {"MissingLaboratory",
     10,
     Result(3, "LABORATORY = NULL, LAB = 0"),
     {{"NEW", "MW-2", "S-2", "$ANALYTE", "1", "ug/l", kReport, ""}}},
    // 5.11 Concentration given.
    {"MissingConcentration",
     11,
     Result(2, "CONCENTRATION = NULL"),
     {{"NEW", "MW-1", "S-1", "$ANALYTE2", "1", "J", kReport}}},
    // 5.12 Point and sample of table 4, listed once.
    {"ResultsOfUnknownSamples",
     12,
     [](FacilityTest& f) {
       CopyResult(f, 1, "SAM_ID = 'S-9'");
       CopyResult(f, 2, "SAM_ID = 'S-9'");
       CopyResult(f, 3, "POINT_ID = 'MW-1'");
     },
     {{"NEW", "MW-1", "S-2"}, {"NEW", "MW-1", "S-9"}}},
    // 5.13 No repeated new result.
    {"NewDuplicate",
     13,
     [](FacilityTest& f) { CopyResult(f, 1, "CONCENTRATION = 6"); },
     {{"MW-1", "S-1", "8260", "$ANALYTE", "$LAB", "2"}}},
    {"NewRepeatingPriorPasses",
     13,
     [](FacilityTest& f) { CopyResult(f, 1, "REVIEWED = 'PRIOR'"); },
     {}},
};

class Table5Checks : public FacilityTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Table5Checks, ListsExactlyTheProblemRows) { ExpectCase(*this, 5, GetParam(), kColumns); }

INSTANTIATE_TEST_SUITE_P(Cases, Table5Checks, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

TEST(Table5Cases, EveryCheckHasAFailingCase) { ExpectEveryCheckFails(5, kCases); }

TEST_F(FacilityTest, Table5CleanFacilityPassesWithItsColumns) {
  ExpectCleanFacilityPasses(*this, 5, kColumns);
}

// A result without laboratory name is a missing laboratory, not an unknown one.
TEST_F(FacilityTest, NamelessLaboratoryIsMissingNotUnknown) {
  Update("MT_TEMP5", "LAB = 0, LABORATORY = NULL", "rowid = 1");
  EXPECT_EQ(RunCheck(5, 0).RecordCount(), 0);
  EXPECT_EQ(RunCheck(5, 10).RecordCount(), 1);
}

}  // namespace
}  // namespace sorvane::testing
