// The seventeen checks of the wells and their aquifer parameters.
#include <gtest/gtest.h>

#include "check_cases.h"

namespace sorvane::testing {
namespace {

const std::vector<std::string> kDimensions = {"REVIEWED", "POINT_ID", "TOC",     "TOP_SCR",
                                              "BOT_SCR",  "BOC",      "COMMENTS"};
const std::vector<std::vector<std::string>> kColumns = {
    {"REVIEWED", "POINT_ID", "NE"},
    {"REVIEWED", "POINT_ID", "KX"},
    {"REVIEWED", "POINT_ID", "T"},
    {"REVIEWED", "POINT_ID", "S"},
    {"REVIEWED", "POINT_ID", "CONTRACT"},
    {"REVIEWED", "POINT_ID", "TOC", "TOP_SCR", "BOT_SCR", "BOC", "DIA", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "MATERIAL", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "INSTALL_DATE", "TOP_SCR", "BOT_SCR", "BOC", "DIA", "MATERIAL",
     "COMMENTS"},
    {"REVIEWED", "POINT_ID", "STATUS", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "B"},
    {"REVIEWED", "POINT_ID", "AQUIFER", "COMMENTS"},
    {"POINT_ID", "AQUIFER", "COMMENTS"},
    {"REVIEWED", "POINT_ID", "DIA", "TOC", "TOP_SCR", "BOT_SCR", "BOC", "COMMENTS"},
    kDimensions,
    kDimensions,
    {"SITE", "POINT_ID"},
    {"POINT_ID", "DUPS"},
};

// Sets parameter `code` of a well (adding the row when the well has none).
void SetParam(FacilityTest& f, const std::string& point, const std::string& code, double v) {
  f.Delete("MT_TEMP2A", "POINT_ID = '" + point + "' AND A_PARAMETER = '" + code + "'");
  f.Add("MT_TEMP2A", {{"POINT_ID", T(point)},
                      {"A_PARAMETER", T(code)},
                      {"VALUE", N(v)},
                      {"UNITS", T("")},
                      {"REVIEWED", T("NEW")}});
}

std::function<void(FacilityTest&)> Params(const std::string& code, double mw1, double mw2) {
  return [=](FacilityTest& f) {
    SetParam(f, "MW-1", code, mw1);
    SetParam(f, "MW-2", code, mw2);
  };
}

std::function<void(FacilityTest&)> Well(const std::string& point, const std::string& set) {
  return [=](FacilityTest& f) { f.Update("MT_TEMP2", set, "POINT_ID = '" + point + "'"); };
}

const std::string kDriller = "Installed by driller";

// `field` has no permitted value in MT_WELL: every value given is unknown, but
// a well without one (MW-1) is still not listed.
std::function<void(FacilityTest&)> NoPermitted(const std::string& field) {
  return [=](FacilityTest& f) {
    f.Exec("DELETE FROM MT_WELL WHERE FIELD_NAME = '" + field + "'");
    Well("MW-1", field + " = NULL")(f);
  };
}

const std::vector<CheckCase> kCases = {
    // 2.0 Effective porosity 10 to 30.
    {"Porosity10And30Pass", 0, Params("NE", 10, 30), {}},
    {"Porosity9_9And30_1Listed",
     0,
     Params("NE", 9.9, 30.1),
     {{"NEW", "MW-1", "9.9"}, {"NEW", "MW-2", "30.1"}}},
    // 2.1 Conductivity above 0 up to 0.05.
    {"Conductivity0Listed0_05Passes", 1, Params("KX", 0, 0.05), {{"NEW", "MW-1", "0"}}},
    {"ConductivityAbove0_05Listed", 1, Params("KX", 0.01, 0.051), {{"NEW", "MW-2", "0.051"}}},
    // 2.2 Transmissivity above 0 up to 0.5.
    {"Transmissivity0Listed0_5Passes", 2, Params("T", 0, 0.5), {{"NEW", "MW-1", "0"}}},
    {"TransmissivityAbove0_5Listed",
     2,
     Params("T", -0.1, 0.6),
     {{"NEW", "MW-1", "-0.1"}, {"NEW", "MW-2", "0.6"}}},
    // 2.3 Storativity 0.2 to 0.25.
    {"Storativity0_2And0_25Pass", 3, Params("S", 0.2, 0.25), {}},
    {"StorativityOutsideListed",
     3,
     Params("S", 0.19, 0.26),
     {{"NEW", "MW-1", "0.19"}, {"NEW", "MW-2", "0.26"}}},
    // 2.4 A contract, when given, from the list.
    {"UnknownContractListed",
     4,
     [](FacilityTest& f) {
       Well("MW-1", "CONTRACT = 'X'")(f);
       Well("MW-2", "CONTRACT = NULL")(f);
     },
     {{"NEW", "MW-1", "X"}}},
    // 2.5 Dimensions when known.
    {"MissingDiameterAndCasing",
     5,
     [](FacilityTest& f) {
       Well("MW-1", "DIA = NULL")(f);
       Well("MW-2", "BOC = NULL")(f);
     },
     {{"NEW", "MW-1", "100.5", "10", "20", "25", "", kDriller},
      {"NEW", "MW-2", "101.2", "10", "20", "", "2", kDriller}}},
    // 2.6 Material from the permitted values.
    {"UnknownMaterial", 6, Well("MW-1", "MATERIAL = 'WOOD'"), {{"NEW", "MW-1", "WOOD", kDriller}}},
    {"LowerCaseMaterialPasses", 6, Well("MW-1", "MATERIAL = 'pvc'"), {}},
    {"MissingMaterialNotListed", 6, Well("MW-1", "MATERIAL = NULL"), {}},
    {"MissingMaterialNotListedWithoutPermittedValues",
     6,
     NoPermitted("MATERIAL"),
     {{"NEW", "MW-2", "PVC", kDriller}}},
    // 2.7 Contractor's wells complete, installed before now.
    {"MissingInstallDate",
     7,
     Well("MW-1", "INSTALL_DATE = NULL"),
     {{"NEW", "MW-1", "", "10", "20", "25", "2", "PVC", kDriller}}},
    {"InstalledTodayPasses",
     7,
     [](FacilityTest& f) { Well("MW-1", "INSTALL_DATE = '" + Date::Today().ToIso() + "'")(f); },
     {}},
    {"InstalledTomorrowListed",
     7,
     [](FacilityTest& f) { Well("MW-1", "INSTALL_DATE = '" + Tomorrow().ToIso() + "'")(f); },
     {{"NEW", "MW-1", "$TOMORROW", "10", "20", "25", "2", "PVC", kDriller}}},
    {"MissingMaterialListed",
     7,
     Well("MW-2", "MATERIAL = NULL"),
     {{"NEW", "MW-2", "3/1/2001", "10", "20", "25", "2", "", kDriller}}},
    {"WellsOutsideTheContractsNotSubject",
     7,
     [](FacilityTest& f) {
       Well("MW-1", "CONTRACT = 'X', INSTALL_DATE = NULL")(f);
       Well("MW-2", "CONTRACT = NULL, DIA = NULL")(f);
     },
     {}},
    // 2.8 Status from the permitted values.
    {"UnknownStatus", 8, Well("MW-1", "STATUS = 'BROKEN'"), {{"NEW", "MW-1", "BROKEN", kDriller}}},
    {"LowerCaseStatusAndMissingPass",
     8,
     [](FacilityTest& f) {
       Well("MW-1", "STATUS = 'destroyed'")(f);
       Well("MW-2", "STATUS = NULL")(f);
     },
     {}},
    {"MissingStatusNotListedWithoutPermittedValues",
     8,
     NoPermitted("STATUS"),
     {{"NEW", "MW-2", "ACTIVE", kDriller}}},
    // 2.9 Aquifer thickness 10 or more.
    {"Thickness9Listed10Passes", 9, Params("B", 10, 9), {{"NEW", "MW-2", "9"}}},
    // 2.10 Aquifer from the permitted values.
    {"UnknownAquifer", 10, Well("MW-2", "AQUIFER = 'OCEAN'"), {{"NEW", "MW-2", "OCEAN", kDriller}}},
    {"LowerCaseAquiferPasses", 10, Well("MW-2", "AQUIFER = 'sand and gravel'"), {}},
    {"MissingAquiferNotListedWithoutPermittedValues",
     10,
     NoPermitted("AQUIFER"),
     {{"NEW", "MW-2", "SURFICIAL", kDriller}}},
    // 2.11 Aquifer named when the casing depth is known.
    {"MissingAquiferWithCasing", 11, Well("MW-1", "AQUIFER = NULL"), {{"MW-1", "", kDriller}}},
    {"MissingAquiferWithoutCasingPasses", 11, Well("MW-1", "AQUIFER = NULL, BOC = NULL"), {}},
    // 2.12 Diameter 0.5 to 8.
    {"Diameter0_5And8Pass",
     12,
     [](FacilityTest& f) {
       Well("MW-1", "DIA = 0.5")(f);
       Well("MW-2", "DIA = 8")(f);
     },
     {}},
    {"DiameterOutsideListed",
     12,
     [](FacilityTest& f) {
       Well("MW-1", "DIA = 0.4")(f);
       Well("MW-2", "DIA = 8.5")(f);
     },
     {{"NEW", "MW-1", "0.4", "100.5", "10", "20", "25", kDriller},
      {"NEW", "MW-2", "8.5", "101.2", "10", "20", "25", kDriller}}},
    // 2.13 Every well has its TOC.
    {"MissingToc",
     13,
     Well("MW-2", "TOC = NULL"),
     {{"NEW", "MW-2", "", "10", "20", "25", kDriller}}},
    // 2.14 Top of screen < bottom of screen <= bottom of casing, top not negative.
    {"ScreenEndingAtCasingPasses", 14, Well("MW-1", "BOC = 20"), {}},
    {"CasingAboveScreenBottom",
     14,
     Well("MW-1", "BOC = 19"),
     {{"NEW", "MW-1", "100.5", "10", "20", "19", kDriller}}},
    {"TopAtBottomAndNegativeTop",
     14,
     [](FacilityTest& f) {
       Well("MW-1", "TOP_SCR = 20")(f);
       Well("MW-2", "TOP_SCR = -1")(f);
     },
     {{"NEW", "MW-1", "100.5", "20", "20", "25", kDriller},
      {"NEW", "MW-2", "101.2", "-1", "20", "25", kDriller}}},
    // 2.15 Every well is a point of table 1.
    {"WellWithoutPoint",
     15,
     [](FacilityTest& f) {
       f.Add("MT_TEMP2", {{"POINT_ID", T("MW-9")}});
     },
     {{"$SITE", "MW-9"}}},
    {"PointOnlyInAnotherFacility",
     15,
     [](FacilityTest& f) {
       f.Add("MT_TEMP1", {{"POINT_ID", T("MW-8")}}, f.other_site);
       f.Add("MT_TEMP2", {{"POINT_ID", T("MW-8")}});
     },
     {{"$SITE", "MW-8"}}},
    // 2.16 One well per point ID.
    {"SameWellTwice",
     16,
     [](FacilityTest& f) {
       f.Add("MT_TEMP2", {{"POINT_ID", T("MW-1")}});
     },
     {{"MW-1", "2"}}},
};

class Table2Checks : public FacilityTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Table2Checks, ListsExactlyTheProblemRows) { ExpectCase(*this, 2, GetParam(), kColumns); }

INSTANTIATE_TEST_SUITE_P(Cases, Table2Checks, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

TEST(Table2Cases, EveryCheckHasAFailingCase) { ExpectEveryCheckFails(2, kCases); }

TEST_F(FacilityTest, Table2CleanFacilityPassesWithItsColumns) {
  ExpectCleanFacilityPasses(*this, 2, kColumns);
}

}  // namespace
}  // namespace sorvane::testing
