// The 64 checks on the clean facility: one case per check breaks it and names
// the exact rows and columns listed (tests/data/checks/cases.txt); the clean
// facility passes all; no other facility's rows or hostile ID reach a result;
// places of problem rows; and the check window over it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "checks/ModChecks.h"
#include "checks/check_query.h"
#include "checks/check_results.h"
#include "checks/duplicate_groups.h"
#include "checks/filtered_copy.h"
#include "checks/frmCCheckView.h"
#include "checks/halved_drive.h"
#include "checks/problem_places.h"
#include "checks/pruned_lookup.h"
#include "checks/rowid_replay.h"
#include "checks/shared_walk.h"
#include "checks/unmatched_keys.h"
#include "core/errors.h"
#include "facility_fixture.h"
#include "support/failing_allocation.h"
#include "support/work_db.h"
#include "workdb/halved_scan.h"
#include "workdb/jet_sql.h"
#include "workdb/work_database.h"

namespace sorvane::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

struct CheckCase {
  int table = 0, index = 0;
  std::string name, sql;
  Table rows;  // none: the check passes
};

void PrintTo(const CheckCase& c, std::ostream* os) {
  *os << c.table << "." << c.index << " " << c.name;
}

struct CaseFile {
  std::map<std::pair<int, int>, std::vector<std::string>> columns;
  std::vector<CheckCase> cases;
};

std::vector<std::string> Split(const std::string& cells) {
  std::vector<std::string> out;
  std::istringstream in(cells + "|");  // "a|" is "a" and ""
  for (std::string cell; std::getline(in, cell, '|');) out.push_back(cell);
  return out;
}

// "T.I rest" -> table, index and the rest.
std::tuple<int, int, std::string> Head(const std::string& line) {
  const size_t dot = line.find('.'), blank = line.find(' ', dot);
  return {std::stoi(line.substr(0, dot)), std::stoi(line.substr(dot + 1, blank - dot - 1)),
          line.substr(blank + 1)};
}

// Runs a check's query as a review does (QueryCheckRows), expects its own
// query's columns and rows, and gives those rows.
RecordSet ExpectOwnRows(Connection& conn, const std::string& query, const std::string& check) {
  RecordSet own = conn.Query(query);
  const RecordSet got = QueryCheckRows(conn, query);
  EXPECT_EQ(Columns(got), Columns(own)) << check;
  EXPECT_EQ(Rows(got), Rows(own)) << check;
  return own;
}

const CaseFile& Cases() {
  static const CaseFile file = [] {
    CaseFile f;
    std::ifstream in(SourcePath("tests/data/checks/cases.txt"));
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      if (line.starts_with("@ ")) {
        auto [t, i, names] = Head(line.substr(2));
        f.columns[{t, i}] = Split(names);
      } else if (line.starts_with("== ")) {
        auto [t, i, name] = Head(line.substr(3));
        f.cases.push_back({t, i, name, "", {}});
      } else if (line.starts_with("> ")) {
        f.cases.back().rows.push_back(Split(line.substr(2)));
      } else {
        f.cases.back().sql += line + "\n";
      }
    }
    return f;
  }();
  return file;
}

class CheckCases : public FacilityTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckCases, ListExactlyTheProblemRows) {
  const CheckCase& c = GetParam();
  Exec(c.sql);
  RecordSet rs = RunCheck(c.table, c.index);
  EXPECT_EQ(Columns(rs), Cases().columns.at({c.table, c.index}));
  Table actual = Rows(rs), expected = c.rows;
  for (auto& row : expected)
    for (auto& cell : row) cell = Expand(cell);
  // Without ORDER BY the engine's order is no part of the result; every ordered
  // check sorts on its first column (REVIEWED) alone.
  std::vector<clsReviewObject> list;
  BuildChecks(c.table, facility, list);
  if (list[static_cast<size_t>(c.index)].qryProblems.find("ORDER BY") != std::string::npos) {
    for (size_t r = 0; r < std::min(actual.size(), expected.size()); ++r)
      EXPECT_EQ(actual[r].at(0), expected[r].at(0)) << "row " << r;
  }
  // A check its places query answers gets the same rows in the same order.
  const std::string& sql = list[static_cast<size_t>(c.index)].qryProblems;
  if (auto carrier = CarrierQuery(conn, c.table, sql, facility)) {
    EXPECT_EQ(Rows(conn.Query(*carrier).WithoutLastField()), actual);
  }
  std::sort(actual.begin(), actual.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Data, CheckCases, ::testing::ValuesIn(Cases().cases),
                         [](const auto& info) {
                           return std::to_string(info.param.table) + "_" +
                                  std::to_string(info.param.index) + "_" + info.param.name;
                         });

TEST_F(FacilityTest, CleanFacilityPassesEveryCheckAndEachHasAFailingCase) {
  std::set<std::pair<int, int>> failing;
  for (const CheckCase& c : Cases().cases)
    if (!c.rows.empty()) failing.insert({c.table, c.index});
  for (int t = 1; t <= 5; ++t) {
    for (int i = 0; i < CheckCount(t); ++i) {
      RecordSet rs = RunCheck(t, i);
      ASSERT_TRUE(Cases().columns.count({t, i})) << "no columns for check " << t << "." << i;
      EXPECT_EQ(Columns(rs), Cases().columns.at({t, i})) << "check " << t << "." << i;
      EXPECT_EQ(rs.RecordCount(), 0) << "check " << t << "." << i;
      EXPECT_TRUE(failing.count({t, i})) << "no failing case for check " << t << "." << i;
    }
  }
  EXPECT_EQ(Cases().columns.size(), 64u);
}

// An ID that tries to close the literal stays a literal: it matches no site, so
// no check lists anything and no query fails. Rows of another facility are
// never listed for this one (the matrix/units check alone looks at every
// facility), but are problems of their own.
TEST_F(FacilityTest, ChecksListOnlyTheFacilitysOwnRows) {
  for (const char* table : kTempTables) {
    Exec(std::string("INSERT INTO ") + table + " (SITE) VALUES ('$OTHER'), ('$OTHER')");
  }
  Exec(
      "UPDATE MT_TEMP5 SET LAB = 0, LABORATORY = 'Nowhere Lab', METHOD = ' ', "
      "CONT_NAME_NOFORMAT = 'NOSUCHTHING', REVIEWED = 'NEW' WHERE SITE = '$OTHER'");
  for (const std::string& id :
       {facility, std::string("x' OR '1'='1"), std::string("' OR SITE IS NOT NULL OR '"),
        facility + "'--", "[" + facility + "]", std::string("#1/1/01#")}) {
    for (int t = 1; t <= 5; ++t) {
      for (int i = 0; i < CheckCount(t); ++i) {
        RecordSet rs;
        ASSERT_NO_THROW(rs = RunCheck(t, i, id)) << id << " check " << t << "." << i;
        EXPECT_EQ(rs.RecordCount(), 0) << id << " check " << t << "." << i;
      }
    }
  }
  EXPECT_EQ(RunCheck(1, 8, other_site).RecordCount(), 2);  // missing point IDs
  EXPECT_EQ(RunCheck(5, 0, other_site).RecordCount(), 1);  // unknown laboratory
  EXPECT_EQ(RunCheck(5, 3, other_site).RecordCount(), 2);  // blank methods
  EXPECT_EQ(RunCheck(5, 4, other_site).RecordCount(), 1);  // unknown contaminant
}

// Checks that share one read of their table each give exactly the columns
// and rows of their own query, in its order: REVIEWED sorted with ties in the
// order of the index (points differing in case only), DISTINCT, a carrier with
// the rowid, other sites left out. Queries the engine could read otherwise
// (an OR outside brackets, a subquery) are never shared.
TEST_F(FacilityTest, ChecksSharingOneReadGiveTheRowsOfTheirOwnQueries) {
  Exec(ReadFile(SourcePath("tests/data/cases/checks_shared_read.sql")));
  std::vector<std::string> queries, names;
  std::vector<clsReviewObject> list;
  for (int t = 5; t >= 1; --t) {
    BuildChecks(t, facility, list);
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string name = std::to_string(t) + "." + std::to_string(i);
      queries.push_back(TranslateJet(list[i].qryProblems));
      names.push_back(name);
      if (auto carrier = CarrierQuery(conn, t, list[i].qryProblems, facility)) {
        queries.push_back(TranslateJet(*carrier));
        names.push_back(name + " with rowids");
      }
    }
  }
  const std::string head = "SELECT REVIEWED, POINT_ID FROM MT_TEMP5 WHERE SITE = '" + facility;
  queries.push_back(head + "' AND UNITS IS NULL OR MDL IS NULL ORDER BY REVIEWED");
  queries.push_back(head + "' AND UNITS IN (SELECT UNITS FROM MT_TEMP1) ORDER BY REVIEWED");
  names.insert(names.end(), {"an OR", "a subquery"});
  // More queries of one read than a row's flags can tell apart: several walks.
  for (int i = 0; i < 60; ++i) {
    queries.push_back(head + "' AND (rowid + " + std::to_string(i) +
                      ") % 7 = 0 AND REVIEWED IS NOT NULL ORDER BY REVIEWED");
    names.push_back("every 7th row, " + std::to_string(i));
  }

  std::set<std::string> shared_of_5;
  int64_t rows = 0, shared_extra = 0;
  for (const SharedWalk& walk : FindSharedWalks(conn, queries)) {
    const std::vector<RecordSet> got = RunSharedWalk(conn, walk);
    for (size_t k = 0; k < walk.members.size(); ++k) {
      const size_t m = walk.members[k];
      if (names[m].starts_with("5.")) shared_of_5.insert(names[m]);
      shared_extra += names[m].starts_with("every 7th");
      const RecordSet own = conn.QueryNative(queries[m]);
      EXPECT_EQ(Columns(got[k]), Columns(own)) << names[m];
      EXPECT_EQ(Rows(got[k]), Rows(own)) << names[m];
      rows += own.RecordCount();
    }
  }
  EXPECT_EQ(shared_of_5,
            (std::set<std::string>{"5.0", "5.1", "5.1 with rowids", "5.2", "5.2 with rowids", "5.3",
                                   "5.3 with rowids", "5.6", "5.6 with rowids", "5.7",
                                   "5.7 with rowids", "5.8", "5.8 with rowids", "5.10",
                                   "5.10 with rowids", "5.11", "5.11 with rowids"}));
  EXPECT_EQ(shared_extra, 60);
  EXPECT_GT(rows, 60);
}

// Over the work database's file, the checks that read a large table whole read it in two halves
// at once, on a second connection (every table counts as large here): the same rows as their own
// queries. Not where the connection holds changes it has not committed, which the second one
// would not see.
TEST_F(FacilityTest, ChecksReadingATableInHalvesGiveTheRowsOfTheirOwnQueries) {
  Exec(ReadFile(SourcePath("tests/data/cases/checks_read_fewer_rows.sql")));
  Connection& on_file = OnFileInHalves("checks_in_halves.db");
  std::vector<clsReviewObject> list;
  for (int t = 1; t <= 5; ++t) {
    BuildChecks(t, facility, list);
    for (size_t i = 0; i < list.size(); ++i)
      ExpectOwnRows(on_file, list[i].qryProblems, std::to_string(t) + "." + std::to_string(i));
  }
  const std::string units = list[9].qryProblems;  // the units that do not fit the matrix
  if (std::thread::hardware_concurrency() > 1) {
    EXPECT_TRUE(FindHalvedDrive(on_file, TranslateJet(units)).has_value());
  }
  EXPECT_FALSE(FindHalvedDrive(on_file, TranslateJet(list[12].qryProblems)).has_value());
  {
    Transaction unsaved(on_file);
    on_file.ExecuteNative("UPDATE MT_TEMP5 SET UNITS = 'mg/kg' WHERE rowid % 3 = 0");
    const RecordSet own = on_file.Query(units);
    EXPECT_EQ(Rows(QueryCheckRows(on_file, units)), Rows(own));
    EXPECT_EQ(Rows(QueryCheckRows(on_file, list[13].qryProblems)),
              Rows(on_file.Query(list[13].qryProblems)));
  }
}

// Tables of rows drawn at random, their keys from a few spellings that differ
// in case or blanks, numbers and dates among the texts, missing values
// anywhere: every check lists its own query's rows, read alone in memory, and
// prefetched with the others over a file whose tables are read in halves.
TEST_F(FacilityTest, ChecksOverRandomRowsGiveTheRowsOfTheirOwnQueries) {
  // clang-format off
  const std::vector<std::string> texts = {
      "MW-1", "mw-1", "MW-1 ", "S-1", "s-1", "S-2", "", "NEW", "PRIOR", "new", "$SITE", "$OTHER",
      "ug/l", "UG/L", "mg/kg", "ug/m3", "8260", "1311", "1312A", "13", "$LAB", "$CONTRACT", "$CAS",
      "$CAS2", "$NA_CAS", "$ANALYTE", "$ANALYTE_NOFORMAT", "$WELLSRC", "LIQUID", "SOLID", "GAS",
      "U", "UJ", "é", "2.5"};
  // clang-format on
  const std::vector<std::string> numbers = {"0", "-1", "1", "5", "2.5", "59", "60", "1e20"};
  const std::vector<std::string> dates = {"'1999-05-01 00:00:00'", "'2004-05-01 00:00:00'",
                                          "'2000-08-31 00:00:00'", "'$TOMORROW_ISO'"};
  std::mt19937 random(7);
  auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  for (const char* table : kTempTables) {
    const RecordSet columns = conn.QueryNative(std::string("PRAGMA table_info(") + table + ")");
    // A row in four repeats most of the row before it: duplicates, and
    // samples or points that other tables hold.
    std::vector<std::string> row_values(static_cast<size_t>(columns.RecordCount()));
    for (int row = 0; row < 250; ++row) {
      const bool repeats = row > 0 && random() % 4 == 0;
      std::string names, values;
      for (int64_t c = 0; c < columns.RecordCount(); ++c) {
        const std::string type(columns.TextAt(c, 2)), name(columns.TextAt(c, 1));
        std::string& value = row_values[static_cast<size_t>(c)];
        if (!repeats || random() % 4 == 0) {
          value = "NULL";
          // Most rows are the facility's, and new.
          if ((name == "SITE" || name == "REVIEWED") && random() % 4 != 0) {
            value = name == "SITE" ? "'$SITE'" : "'NEW'";
          } else if (random() % 6 != 0) {
            value = type == "REAL" || type == "INTEGER" ? pick(numbers)
                    : type == "DATETIME"                ? pick(dates)
                                                        : "'" + pick(texts) + "'";
          }
        }
        names += (c > 0 ? ", " : "") + name;
        values += (c > 0 ? ", " : "") + value;
      }
      Exec(std::string("INSERT INTO ") + table + " (" + names + ") VALUES (" + values + ")");
    }
  }
  std::vector<std::string> queries;
  std::vector<clsReviewObject> list;
  for (int t = 1; t <= 5; ++t) {
    BuildChecks(t, facility, list);
    for (size_t i = 0; i < list.size(); ++i) {
      const RecordSet own =
          ExpectOwnRows(conn, list[i].qryProblems, std::to_string(t) + "." + std::to_string(i));
      queries.push_back(list[i].qryProblems);
      // The rows of the workbook each problem row came from, as the review finds them.
      const PlacesQuery places = MakePlacesQuery(conn, t, list[i].qryProblems, facility, own);
      if (!places.own_table.empty()) {
        EXPECT_EQ(Rows(QueryCheckRows(conn, places.sql)), Rows(conn.Query(places.sql)))
            << t << "." << i;
      }
    }
  }
  Connection& on_file = OnFileInHalves("checks_over_random_rows.db");
  CheckResults results(on_file);
  results.Prefetch(queries);
  for (const std::string& query : queries) {
    EXPECT_EQ(Rows(*results.Get(query)), Rows(on_file.Query(query))) << query;
  }
}

// Check queries that read fewer rows (the duplicates among the rows sharing a
// key, the results of samples missing from table 4 by the samples' keys, the
// results of unknown contaminants by the names' index, in the samples' order,
// an index's stretch by a scan of the table) list exactly their own query's rows, as does every
// other check: keys differing in case (the spelling shown comes from the rows' order), missing
// laboratories alike, prior data and other sites left out. Queries whose
// groups come in an index's order, or that show a column outside the key,
// run as they are.
TEST_F(FacilityTest, ChecksReadingFewerRowsGiveTheRowsOfTheirOwnQueries) {
  Exec(ReadFile(SourcePath("tests/data/cases/checks_read_fewer_rows.sql")));
  std::vector<clsReviewObject> list;
  for (int t = 1; t <= 5; ++t) {
    BuildChecks(t, facility, list);
    for (size_t i = 0; i < list.size(); ++i) {
      const RecordSet own = conn.Query(list[i].qryProblems);
      const std::string stamp = conn.DataStamp();
      const RecordSet got = QueryCheckRows(conn, list[i].qryProblems);
      // Its scratch tables are no change of the data: the rows found stay valid for the export.
      EXPECT_EQ(conn.DataStamp(), stamp) << t << "." << i;
      EXPECT_EQ(Columns(got), Columns(own)) << t << "." << i;
      EXPECT_EQ(Rows(got), Rows(own)) << t << "." << i;
      const std::string sql = TranslateJet(list[i].qryProblems);
      if (t == 5 && i == 1) {
        const std::vector<SharedWalk> alone = FindSharedWalks(conn, {sql}, 1);
        EXPECT_TRUE(alone.size() == 1 && alone[0].scans_table) << conn.QueryPlanNative(sql)[0];
      }
      if (t == 5 && i == 0) {
        // The places of a DISTINCT over one table take the rows its shared read just found.
        EXPECT_EQ(own.RecordCount(), 4);
        const PlacesQuery places = MakePlacesQuery(conn, 5, list[i].qryProblems, facility, own);
        const std::optional<FilteredCopy> copy = FindFilteredCopy(conn, TranslateJet(places.sql));
        ASSERT_TRUE(copy.has_value()) << places.sql;
        const RecordSet own_places = conn.Query(places.sql);
        EXPECT_GT(own_places.RecordCount(), own.RecordCount());
        QueryCheckRows(conn, list[i].qryProblems);
        const std::optional<RecordSet> over_copy = RunFilteredCopy(conn, *copy);
        ASSERT_TRUE(over_copy.has_value());
        EXPECT_EQ(Rows(*over_copy), Rows(own_places));
        // Not once the data change.
        Exec("UPDATE MT_TEMP5 SET LAB = 0 WHERE rowid % 4 = 2");
        EXPECT_FALSE(RunFilteredCopy(conn, *copy).has_value());
        Exec("UPDATE MT_TEMP5 SET LAB = 1 WHERE rowid % 4 = 2");
      }
      if (t == 5 && i == 9) {
        // The places of a UNION, narrowed to the problem rows' texts, over a copy of table 4.
        EXPECT_GT(own.RecordCount(), 5);
        const PlacesQuery places = MakePlacesQuery(conn, 5, list[i].qryProblems, facility, own);
        EXPECT_TRUE(FindFilteredCopy(conn, TranslateJet(places.sql)).has_value()) << places.sql;
        const RecordSet own_places = conn.Query(places.sql);
        EXPECT_GT(own_places.RecordCount(), own.RecordCount());
        EXPECT_EQ(Rows(QueryCheckRows(conn, places.sql)), Rows(own_places));
      }
      if (t < 5 || (i != 4 && i != 5 && i != 12 && i != 13)) continue;
      EXPECT_GT(own.RecordCount(), 5) << t << "." << i;
      EXPECT_TRUE(i == 13  ? FindDuplicateGroups(conn, sql).has_value()
                  : i == 5 ? FindPrunedLookup(conn, sql).has_value()
                           : FindUnmatchedKeys(conn, sql).has_value())
          << conn.QueryPlanNative(sql)[0];
      if (i != 5) continue;
      // Its places, a query reading the check's rows with their rowids, narrowed by their texts.
      const PlacesQuery places = MakePlacesQuery(conn, 5, list[i].qryProblems, facility, own);
      EXPECT_TRUE(FindPrunedLookup(conn, TranslateJet(places.sql)).has_value()) << places.sql;
      const RecordSet own_places = conn.Query(places.sql);
      EXPECT_GT(own_places.RecordCount(), own.RecordCount());
      EXPECT_EQ(Rows(QueryCheckRows(conn, places.sql)), Rows(own_places));
      // The rows it found are not taken again once the data change.
      Exec("UPDATE MT_TEMP5 SET CAS_NUMBER = '0-00-0' WHERE rowid % 17 = 5");
      const RecordSet changed = conn.Query(list[i].qryProblems);
      EXPECT_GT(changed.RecordCount(), own.RecordCount());
      EXPECT_EQ(Rows(QueryCheckRows(conn, list[i].qryProblems)), Rows(changed));
    }
  }
  // A key held as a blob (which a record set reads as a text) still finds its rows.
  Exec(
      "INSERT INTO MT_TEMP5 (SITE, POINT_ID, SAM_ID, REVIEWED) VALUES ('$SITE', x'4d572d30', "
      "'S-9', 'NEW')");
  EXPECT_EQ(Rows(RunCheck(5, 12)), Rows(conn.Query(list[12].qryProblems)));

  BuildChecks(4, facility, list);
  EXPECT_FALSE(FindDuplicateGroups(conn, TranslateJet(list.back().qryProblems)));
  const std::string tail = " FROM MT_TEMP5 WHERE SITE = '" + facility +
                           "' GROUP BY POINT_ID, SAM_ID, METHOD HAVING COUNT(*)>1";
  EXPECT_TRUE(FindDuplicateGroups(conn, "SELECT METHOD, COUNT(*)" + tail));
  EXPECT_FALSE(FindDuplicateGroups(conn, "SELECT METHOD, UNITS, COUNT(*)" + tail));
  EXPECT_FALSE(FindDuplicateGroups(conn, "SELECT METHOD, COUNT(*)" + tail + " ORDER BY METHOD"));
  // Only a view showing a table's own rows stands in for it.
  EXPECT_EQ(ProjectedTable(conn, "QRY_5_4"), "MT_TEMP5");
  EXPECT_EQ(ProjectedTable(conn, "qry_3_5"), "");
  EXPECT_EQ(ProjectedTable(conn, "MT_TEMP5"), "");
}

using PlacesTest = FacilityTest;

TEST_F(PlacesTest, EveryCheckFindsItsPlacesInItsOwnTable) {
  // By check index: the main table ('-') or the companion table ('A').
  const char* kOwn[] = {"",        "----------",       "AAAA-----A-------",
                        "-------", "AAAA------------", "--------------"};
  for (int t = 1; t <= 5; ++t) {
    std::vector<clsReviewObject> checks;
    BuildChecks(t, facility, checks);
    ASSERT_EQ(std::string(kOwn[t]).size(), checks.size());
    for (size_t i = 0; i < checks.size(); ++i) {
      SCOPED_TRACE("check " + std::to_string(t) + "." + std::to_string(i));
      const PlacesQuery q = MakePlacesQuery(conn, t, checks[i].qryProblems, facility,
                                            conn.Query(checks[i].qryProblems));
      EXPECT_EQ(q.own_table, "MT_TEMP" + std::to_string(t) + (kOwn[t][i] == 'A' ? "A" : ""));
      EXPECT_NO_THROW(conn.Query(q.sql)) << q.sql;
    }
  }
}

TEST_F(PlacesTest, ARowStandingForSeveralGetsEveryOne) {
  state.FacilityID = facility;
  // A piezometer with no well record, two water levels on one day and a well sample.
  Exec(ReadFile(SourcePath("tests/data/cases/places_piezometer.sql")));
  // Workbook row n holds temporary row n - 1 (the header is row 1).
  TempRowSources& sources = state.RowSources["3"];
  sources.table = 3;
  sources.first_rowid = 1;
  sources.rows =
      static_cast<int64_t>(conn.QueryValue("SELECT MAX(rowid) FROM MT_TEMP3").ToDouble());
  sources.column_fields = {{"SITE", "FAC_ID"}, {"POINT_ID", "POINT_ID"}, {"WL_DATE", "WL_DATE"}};
  TableInfo& info = state.Tables[3];
  info.WorkbookName = "levels.xls";
  info.SheetName = "Levels";
  info.Origin.fields = {"FAC_ID", "POINT_ID", "WL_DATE", "WL"};
  for (int64_t r = 0; r < sources.rows; ++r)
    info.Origin.record_rows.push_back(static_cast<int32_t>(r + 2));
  RecordSet pz = conn.QueryNative("SELECT rowid + 1 FROM MT_TEMP3 WHERE POINT_ID = 'PZ-9'");
  const int64_t first = static_cast<int64_t>(pz.At(0, 0).ToDouble());
  const int64_t second = static_cast<int64_t>(pz.At(1, 0).ToDouble());

  const struct {
    int index;
    std::vector<std::string> cells;
  } cases[] = {{5, {"B"}}, {6, {"B", "C"}}};  // through qry_3_5; a duplicate group
  std::vector<clsReviewObject> checks;
  BuildChecks(3, facility, checks);
  for (const auto& c : cases) {
    const RecordSet problems = RunCheck(3, c.index);
    ASSERT_EQ(problems.RecordCount(), 1) << c.index;
    const auto places = ProblemPlaces(state, 3, checks[c.index], problems);
    const std::vector<SheetPlace> expected = {{"levels.xls", "Levels", first, c.cells},
                                              {"levels.xls", "Levels", second, c.cells}};
    ASSERT_EQ(places.size(), 1u) << c.index;
    EXPECT_EQ(std::vector<SheetPlace>(places[0].begin(), places[0].end()), expected) << c.index;
  }
}

TEST_F(PlacesTest, ManyProblemRowsOfAUnionEachGetTheirRows) {
  // 300 gas samples, each with two results in ug/l (5.9) whose methods differ
  // in case only: 300 problem rows, each standing for two rows. The lists of
  // their points and samples are too long to look up together in an index.
  state.FacilityID = facility;
  Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)"
      " INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, REVIEWED)"
      " SELECT '$SITE', 'G-' || i, 'GS-' || i, '2003-01-01 00:00:00', 'GAS', 'NEW' FROM n;"
      "DELETE FROM MT_TEMP5;"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)"
      " INSERT INTO MT_TEMP5 (rowid, SITE, POINT_ID, SAM_ID, METHOD, UNITS, REVIEWED)"
      " SELECT i, '$SITE', 'G-' || ((i + 1) / 2), 'GS-' || ((i + 1) / 2),"
      " CASE i % 2 WHEN 1 THEN 'TO15' ELSE 'to15' END, 'ug/l', 'NEW' FROM n");
  TempRowSources& sources = state.RowSources["5"];
  sources.table = 5;
  sources.first_rowid = 1;
  sources.rows = 600;
  sources.column_fields = {{"METHOD", "METHOD"}, {"UNITS", "UNITS"}};
  TableInfo& info = state.Tables[5];
  info.WorkbookName = "results.xls";
  info.SheetName = "Results";
  info.Origin.fields = {"FAC_ID", "POINT_ID", "SAM_ID", "METHOD", "UNITS"};
  for (int32_t r = 2; r <= 601; ++r) info.Origin.record_rows.push_back(r);

  std::vector<clsReviewObject> checks;
  BuildChecks(5, facility, checks);
  const RecordSet problems = RunCheck(5, 9);
  ASSERT_EQ(problems.RecordCount(), 300);
  const auto places = ProblemPlaces(state, 5, checks[9], problems);
  for (int64_t r = 0; r < 300; ++r) {
    // Sample GS-i: the results of rowids 2i - 1 and 2i, on workbook rows 2i and 2i + 1.
    const int64_t i = std::stoll(std::string(problems.At(r, 3).AsText()).substr(3));
    const std::vector<SheetPlace> expected = {{"results.xls", "Results", 2 * i, {"D", "E"}},
                                              {"results.xls", "Results", 2 * i + 1, {"D", "E"}}};
    const auto got = places[static_cast<size_t>(r)];
    EXPECT_EQ(std::vector<SheetPlace>(got.begin(), got.end()), expected) << r;
  }
}

class CheckViewTest : public FacilityTest {
 protected:
  void SetUp() override {
    FacilityTest::SetUp();
    state.FacilityID = facility;
    for (int t = 1; t <= 5; ++t) state.Tables[t].TableStatus = 6;
  }
  // Opens the window on `table` (0: all tables), as the main menu does.
  void Open(int table) {
    state.SelectedTable = table;
    view.Form_Load();
  }
  const LabelState& Label(int i) { return view.view().lblStatus[static_cast<size_t>(i)]; }
  const OptionState& Button(int i) { return view.view().optReview[static_cast<size_t>(i)]; }
  bool Checked(int table) {
    return view.view().menus.at(ControlName("mnuRunChecks", table)).checked;
  }
  // Check 1.2 (NAVD far above the wells) and 1.5 (a point without seconds) fail.
  void BreakChecks1_2And1_5() {
    Exec("UPDATE MT_TEMP1 SET NAVD = 110 WHERE POINT_ID = 'MW-1'");
    Exec("UPDATE MT_TEMP1 SET LAT_SS = NULL WHERE POINT_ID = 'MW-2'");
  }

  frmCCheckView view{state};
};

TEST_F(CheckViewTest, VerdictsOnTheLabelsAndTheFirstFailedCheckInTheGrid) {
  Open(3);
  EXPECT_EQ(view.view().caption, "Table 3 - Water Level Table");
  EXPECT_EQ(Label(1).caption, "No Problems with Water Level Dates.");
  EXPECT_FALSE(view.view().DataGrid1.visible);
  EXPECT_EQ(state.Tables[3].TableStatus, 8);
  EXPECT_TRUE(Checked(3));
  // Opening the window puts every other table that has not passed at 7, unchecked.
  EXPECT_EQ(state.Tables[1].TableStatus, 7);
  EXPECT_FALSE(Checked(1));

  BreakChecks1_2And1_5();
  view.mnuRunChecks_Click(1);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(Label(i).visible, i < 10) << i;
  EXPECT_EQ(Label(2).caption, "MAY be a problem with incorrect NAVD Values.");
  EXPECT_EQ(Label(5).caption, "Problem with missing Lat/Long Values.");
  for (int i = 0; i < 10; ++i) {
    const bool failed = i == 2 || i == 5;
    EXPECT_EQ(Label(i).highlighted, failed) << i;
    EXPECT_EQ(Button(i).enabled, failed) << i;
    // Severity: 0-2 plain, 3-5 underlined, 6-9 bold and underlined.
    EXPECT_EQ(Label(i).underline, i >= 3) << i;
    EXPECT_EQ(Label(i).bold, i >= 6) << i;
  }
  EXPECT_TRUE(Button(2).selected);
  const GridState& grid = view.view().DataGrid1;
  EXPECT_TRUE(grid.visible);
  EXPECT_EQ(grid.caption, "Table 1: MAY be a problem with incorrect NAVD Values.");
  EXPECT_EQ(Rows(*grid.source), (std::vector<std::vector<std::string>>{{"NEW", "MW-1", "110"}}));
  EXPECT_EQ(state.Tables[1].TableStatus, 7);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CheckViewTest, AFixedCheckPassesWhenSelectedButTheTableStays7) {
  BreakChecks1_2And1_5();
  Open(1);
  Exec("UPDATE MT_TEMP1 SET NAVD = 100 WHERE POINT_ID = 'MW-1'");
  view.optReview_Click(2);
  EXPECT_EQ(Label(2).caption, "No incorrect NAVD Values.");
  EXPECT_FALSE(Label(2).highlighted);
  EXPECT_FALSE(view.view().DataGrid1.visible);
  EXPECT_EQ(state.Tables[1].TableStatus, 7);
  // Clicking the label of a still failing check opens it.
  view.lblStatus_Click(5);
  EXPECT_EQ(view.view().DataGrid1.caption, "Table 1: Problem with missing Lat/Long Values.");
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 1);
}

TEST_F(CheckViewTest, ExcelOutputHandsEveryFailedCheckToTheWorkbookAndGoesOnAfterAFailure) {
  BreakChecks1_2And1_5();
  Open(1);
  std::vector<std::pair<int, int64_t>> calls;  // check, its rows
  view.WriteCheckErrors = [&](int, int index) {
    calls.push_back({index, view.adoProblemRS->RecordCount()});
    throw std::runtime_error("workbook closed");
  };
  view.ExportStopped = false;
  EXPECT_FALSE(view.RunAllChecks(1, true));
  EXPECT_EQ(calls, (std::vector<std::pair<int, int64_t>>{{2, 1}, {5, 1}}));
  EXPECT_TRUE(view.ExportStopped);
  EXPECT_EQ(view.ExportStopReason, "workbook closed");  // for a review to say
  EXPECT_TRUE(Button(5).selected);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CheckViewTest, ARunAfterSortingStartsFromAFreshRecordSet) {
  Exec("UPDATE MT_TEMP1 SET NAVD = 110");  // check 1.2 lists all three points
  Open(1);
  auto shown = view.adoProblemRS;
  view.DataGrid1_HeadClick(2);  // NAVD
  // The grid shows a sorted copy; rows handed on before keep their order.
  EXPECT_EQ(view.adoProblemRS->SortField(), "NAVD");
  EXPECT_EQ(view.view().DataGrid1.source, view.adoProblemRS);
  EXPECT_EQ(shown->SortField(), "");
  view.mnuRunChecks_Click(1);
  EXPECT_EQ(view.adoProblemRS->SortField(), "");
  EXPECT_EQ(view.view().DataGrid1.source, view.adoProblemRS);
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 3);
}

TEST_F(CheckViewTest, AllTablesEndOnTable5WithEveryVerdict) {
  Exec("UPDATE MT_TEMP3 SET WL = NULL");  // table 3 fails its first check
  Open(0);
  EXPECT_EQ(view.view().caption, "Table 5 - Analytical Data Table");
  for (int t = 1; t <= 5; ++t) {
    EXPECT_EQ(state.Tables[t].TableStatus, t == 3 ? 7 : 8) << t;
    EXPECT_EQ(Checked(t), t != 3) << t;
  }
  // Opening the open window again runs nothing.
  Exec("UPDATE MT_TEMP5 SET UNITS = NULL");
  Open(5);
  EXPECT_EQ(state.Tables[5].TableStatus, 8);
}

// The window's verdict of every check agrees with its full query, on a
// facility where some checks of each table fail and others pass.
TEST_F(CheckViewTest, VerdictsAgreeWithTheFullQueries) {
  for (const char* table : kTempTables)
    Exec(std::string("INSERT INTO ") + table +
         " (SITE, POINT_ID, REVIEWED) VALUES ('$SITE', 'MW-1', 'NEW')");
  Exec("UPDATE MT_TEMP5 SET UNITS = 'ug/kg', LAB = 0 WHERE rowid = 1");
  Exec("UPDATE MT_TEMP4 SET SAM_DATE = '1990-01-01 00:00:00' WHERE SAM_ID = 'S-1'");
  Open(1);
  int failed = 0, passed = 0;
  for (int t = 1; t <= 5; ++t) {
    view.RunAllChecks(t, false);
    for (size_t i = 0; i < view.CheckList.size(); ++i) {
      const bool rows = conn.Query(view.CheckList[i].qryProblems).RecordCount() > 0;
      EXPECT_EQ(view.CheckList[i].Status, !rows) << "check " << t << "." << i;
      (rows ? failed : passed)++;
    }
  }
  EXPECT_GT(failed, 20);
  EXPECT_GT(passed, 10);
}

// A missing saved query: the check fails, the message names the database's
// error once, and the window goes on with the other checks.
TEST_F(CheckViewTest, AQueryTheDatabaseRejectsShowsAsFailed) {
  Exec("DROP VIEW qry_5_4");
  Open(5);
  EXPECT_EQ(Label(4).caption, "Unknown Contaminants.");
  EXPECT_TRUE(Label(4).highlighted);
  EXPECT_EQ(Label(5).caption, "No Incorrect CAS Numbers.");
  EXPECT_EQ(ui.messages, std::vector<std::string>{"1 no such table: qry_5_4"});
  EXPECT_EQ(view.view().DataGrid1.caption, "Table 5: Unknown Contaminants.");
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 0);
  EXPECT_EQ(state.Tables[5].TableStatus, 7);
  view.SelectCheck(4);  // selecting it again tells the user again
  EXPECT_EQ(ui.messages.size(), 2u);

  // Memory that runs out as a check's rows are read is said as the engine's
  // own failures are; the rows are read again once there is room.
  CheckResults results(state.WorkConn);
  const std::string query = "SELECT POINT_ID FROM MT_TEMP1";
  FailNextAllocation();
  try {
    results.Get(query);
    ADD_FAILURE() << "no failure";
  } catch (const Error& e) {
    EXPECT_EQ(e.NumberDescription("  "), "7  Out of memory (close other programs and try again)");
  }
  EXPECT_GT(results.Get(query)->RecordCount(), 0);
}

}  // namespace
}  // namespace sorvane::testing
