// `sorvane init --reference FILE`: a work database whose reference tables come
// from the agency's own file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli_run.h"
#include "support/work_db.h"
#include "workdb/connection.h"

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(InitReference, AgencyWorkDatabaseGivesItsLaboratoriesAndTheSameReview) {
  const fs::path agency = fs::path(SORVANE_CORPUS_DIR) / "access" / "agency" / "GIS_WORK.mdb";
  if (!fs::exists(agency)) GTEST_SKIP() << "no corpus beside the repository";
  TempDataDir from_agency;
  CliRun init = RunCommand(
      {"init", "--data-dir", from_agency.dir().string(), "--reference", agency.string()});
  EXPECT_EQ(init.code, 0) << init.err;
  EXPECT_THAT(init.out, HasSubstr("Reference table MT_LAB: 19 rows from " + agency.string()));
  EXPECT_THAT(init.out, HasSubstr("Update database: none built"));
  EXPECT_FALSE(fs::exists(from_agency.dir() / "GIS_UPDATE.db"));
  EXPECT_THAT(RunCommand({"refs", "labs", "--data-dir", from_agency.dir().string()}).out,
              HasSubstr("99\tGCA\tGulf Coast Analytical Services"));
  // The agency's lists differ from the shipped ones by a laboratory the sample
  // facility does not name: the review is the committed one.
  const fs::path json = from_agency.dir() / "r.json";
  EXPECT_EQ(RunCommand({"review", "1234567", "--data-dir", from_agency.dir().string(),
                        "--workbooks", SourcePath("data/sample").string(), "--json", json.string(),
                        "--xlsx", (from_agency.dir() / "e.xlsx").string()})
                .code,
            1);
  EXPECT_EQ(ReadFile(json), ReadFile(SourcePath("tests/data/sample/report.json")));
}

TEST(InitReference, TablesTheFileLacksOrThatAreRefusedKeepTheShippedOnes) {
  TempDataDir dir;
  const fs::path file = dir.dir() / "partial.db";
  {
    Connection c;
    c.Create(file);
    c.ExecuteScript(
        "CREATE TABLE MT_CONTRACTOR (CONTRACT TEXT, CONTRACTOR TEXT);"
        "INSERT INTO MT_CONTRACTOR VALUES ('C-77', 'Seventy-Seven');"
        "CREATE TABLE MT_LAB (LAB INTEGER, NAME TEXT);");
  }
  const fs::path d = dir.dir() / "data";
  CliRun r = RunCommand({"init", "--data-dir", d.string(), "--reference", file.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("Reference table MT_CONTRACTOR: 1 row from " + file.string()));
  EXPECT_THAT(r.err, HasSubstr("Reference table MT_LAB: the shipped one was kept (it lacks the "
                               "column ALIAS)\n"));
  EXPECT_THAT(r.err, HasSubstr("Reference table T_SITE: the shipped one was kept (not in " +
                               file.string() + ")\n"));
  Connection c;
  c.Open(d / "GIS_WORK.db");
  EXPECT_EQ(c.QueryValue("SELECT group_concat(CONTRACT) FROM MT_CONTRACTOR").ToDisplay(), "C-77");
  EXPECT_GT(c.QueryValue("SELECT count(*) FROM MT_LAB").AsInteger(), 10);

  std::ofstream(file, std::ios::trunc) << "not a database at all";
  r = RunCommand({"init", "--force", "--data-dir", d.string(), "--reference", file.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "The reference file " + file.string() +
                       " could not be read: it is neither a SQLite nor an Access database. No "
                       "work database was built.\n");
  EXPECT_EQ(c.QueryValue("SELECT group_concat(CONTRACT) FROM MT_CONTRACTOR").ToDisplay(), "C-77");
}

}  // namespace
}  // namespace sorvane::testing
