// Refreshing the reference tables from the update database, and from damaged
// copies of the corpus's Access files: refused or read, never a crash, and a
// table replaced whole or not at all.
#include "acquire/reference_update.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include "accessfile/access_file.h"
#include "acquire/reference_file.h"
#include "acquire_fixture.h"
#include "core/errors.h"
#include "support/case_table.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"
#include "workdb/work_database.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ReferenceUpdateTest : public AcquireTest {
 protected:
  void SetUp() override {
    data.CreateWorkDb();
    state.WorkConn.Open(data.paths().WorkDb());
  }
  // An update database holding `sql` (tables, rows and an UPDATE_LIST).
  void MakeUpdateDb(const std::string& sql) { ExecuteIn(data.paths().UpdateDb(), sql); }
  std::vector<std::string> Column(const std::string& sql) {
    return QueryLines(state.WorkConn, sql);
  }
  std::string Dump() { return DumpDatabase(state.WorkConn); }
};

// Two new laboratories (the rows go into the program's own layout of MT_LAB).
const char kNewLabs[] =
    "CREATE TABLE MT_LAB (LAB, ALIAS, NAME, NOFORMAT); CREATE TABLE UPDATE_LIST (TABLE_NAME);"
    "INSERT INTO MT_LAB VALUES (7, 'NEWLAB', 'New Laboratory', 'NEWLAB'),"
    " (8, 'OTHER', 'Other Lab', 'OTHERLAB');";

TEST_F(ReferenceUpdateTest, RefusedTableKeepsItsRowsAndTheRefreshGoesOn) {
  const auto labs_before = Column("SELECT NAME FROM MT_LAB ORDER BY LAB");
  // The update's own definition (no rules, no indexes) is not what is used:
  // the program's layout of MT_LAB refuses a laboratory numbered 0.
  MakeUpdateDb(
      "CREATE TABLE MT_LAB (LAB, ALIAS, NAME, NOFORMAT);"
      "INSERT INTO MT_LAB VALUES (0, 'Z', 'Zero', 'ZERO');"
      "CREATE TABLE MT_WELL (FIELD_NAME TEXT, FIELD_VALUE TEXT, NOTE BLOB);"
      "INSERT INTO MT_WELL VALUES ('STATUS', 'ACTIVE', x'00');"
      "CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT); INSERT INTO UPDATE_LIST VALUES ('MT_LAB'), "
      "('MT_WELL');");
  auto result = UpdateReferenceTables(state);
  EXPECT_THAT(result.kept, ElementsAre("MT_LAB"));
  EXPECT_THAT(
      result.kept_why,
      ElementsAre("row 1: refused by the table's rules (CHECK constraint failed: LAB <> 0)"));
  EXPECT_THAT(result.replaced, ElementsAre("MT_WELL"));  // a binary column it does not read
  EXPECT_EQ(KeptTablesMessage(result), "The update database " + data.paths().UpdateDb().string() +
                                           " was read.\nReplaced: MT_WELL\nKept as they "
                                           "were:\nMT_LAB: row 1: refused by the table's "
                                           "rules (CHECK constraint failed: LAB <> 0)");
  EXPECT_EQ(Column("SELECT NAME FROM MT_LAB ORDER BY LAB"), labs_before);
  EXPECT_THAT(Column("SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME = 'status'"),
              ElementsAre("ACTIVE"));
}

TEST_F(ReferenceUpdateTest, TwoRunsGiveTheSameDatabaseAsOne) {
  Connection upd;
  upd.Create(data.paths().UpdateDb());
  InstallUpdateDatabase(upd);
  upd.ExecuteNative("UPDATE MT_LAB SET NAME = NAME || ' (new)'");
  upd.Close();

  auto first = UpdateReferenceTables(state);
  EXPECT_FALSE(first.replaced.empty());
  EXPECT_THAT(first.kept, IsEmpty());
  const std::string once = Dump();
  UpdateReferenceTables(state);
  EXPECT_EQ(Dump(), once);
  EXPECT_THAT(Column("SELECT count(*) FROM MT_LAB WHERE NAME NOT LIKE '% (new)'"),
              ElementsAre("0"));
}

// A table the list does not name is never replaced, nor a table it names
// that is no reference table.
TEST_F(ReferenceUpdateTest, OnlyListedReferenceTablesAreReplaced) {
  const std::string before = Dump();
  MakeUpdateDb(std::string(kNewLabs) +
               "CREATE TABLE \"ODD\"\"NAME\" (V TEXT); CREATE TABLE MT_TEMP5 (SITE TEXT);"
               "CREATE TABLE MT_VBSTRUCTURE (TABLE_NAME TEXT, FIELD_NAME TEXT, FIELD_TYPE "
               "INTEGER, FIELD_SIZE INTEGER, FIELD_ORDER INTEGER);");
  auto result = UpdateReferenceTables(state);
  EXPECT_FALSE(result.shut_down);
  EXPECT_THAT(result.replaced, IsEmpty());
  EXPECT_THAT(result.kept, IsEmpty());
  EXPECT_EQ(Dump(), before);
  MakeUpdateDb(
      "INSERT INTO UPDATE_LIST VALUES ('sqlite_master'), ('ODD\"NAME'), ('MT_TEMP5'), "
      "('UPDATE_LIST'), ('MT_LAB; DROP TABLE T_SITE'), ('MT_VBSTRUCTURE'), (NULL);");
  result = UpdateReferenceTables(state);
  EXPECT_THAT(result.replaced, IsEmpty());
  EXPECT_THAT(result.kept, ElementsAre("sqlite_master", "ODD\"NAME", "MT_TEMP5", "UPDATE_LIST",
                                       "MT_LAB; DROP TABLE T_SITE", "MT_VBSTRUCTURE"));
  const std::string not_reference = "not a reference table of the work database";
  EXPECT_THAT(result.kept_why,
              ElementsAre(not_reference, not_reference, not_reference, not_reference, not_reference,
                          ::testing::StartsWith("it lacks the workbook column(s) ")));
  EXPECT_EQ(Dump(), before);
}

TEST_F(ReferenceUpdateTest, MissingUpdateDatabaseAsksForTheShutdown) {
  const std::string before = Dump();
  auto result = UpdateReferenceTables(state);
  EXPECT_TRUE(result.shut_down);
  // The agency sends GIS_UPDATE.mdb; a GIS_UPDATE.db would do as well.
  EXPECT_THAT(ui.messages, ElementsAre("The Access Update database (GIS_UPDATE.mdb) is missing.  "
                                       "Copy it to " +
                                       (data.dir() / "GIS_UPDATE.mdb").string()));
  EXPECT_EQ(ui.yields, 1);  // the window repainted before the file was tried
  EXPECT_FALSE(fs::exists(data.dir() / "GIS_UPDATE.mdb"));  // not created by the attempt
  EXPECT_EQ(Dump(), before);
}

TEST_F(ReferenceUpdateTest, UpdateDatabaseThatCannotBeReadIsNamedWithWhatIsWrong) {
  const std::string before = Dump();
  for (const auto& c : CaseTable("unreadable_update_files.txt")) {
    WriteFile(data.paths().UpdateDb(), c[0] + std::string(std::stoul(c[1]), c[2].at(0)));
    ui.messages.clear();
    EXPECT_FALSE(UpdateReferenceTables(state).shut_down);
    EXPECT_THAT(ui.messages, ElementsAre("The update database " + data.paths().UpdateDb().string() +
                                         " could not be read: " + c[3] + ". Nothing was changed."));
  }
  fs::remove(data.paths().UpdateDb());
  fs::create_directory(data.paths().UpdateDb());
  ui.messages.clear();
  UpdateReferenceTables(state);
  EXPECT_THAT(ui.messages, ElementsAre(::testing::HasSubstr("could not be read: it is a folder")));
  EXPECT_EQ(Dump(), before);
}

TEST_F(ReferenceUpdateTest, TheNewestOfTheDataFoldersUpdateDatabasesIsUsed) {
  MakeUpdateDb(std::string(kNewLabs) + "INSERT INTO UPDATE_LIST VALUES ('MT_LAB');");
  const fs::path mdb = data.dir() / "GIS_UPDATE.mdb";
  WriteFile(mdb, "an older file that is no database");
  fs::last_write_time(mdb, fs::last_write_time(data.paths().UpdateDb()) - std::chrono::hours(1));
  auto result = UpdateReferenceTables(state);
  EXPECT_EQ(result.file, data.paths().UpdateDb());
  EXPECT_EQ(result.note, "GIS_UPDATE.db was used: it is newer than GIS_UPDATE.mdb");
  EXPECT_FALSE(result.shut_down);
  EXPECT_THAT(result.replaced, ElementsAre("MT_LAB"));
  EXPECT_THAT(ui.messages, IsEmpty());
  EXPECT_THAT(Column("SELECT ALIAS FROM MT_LAB ORDER BY LAB"), ElementsAre("NEWLAB", "OTHER"));
  EXPECT_EQ(state.view.lblStatusAll.caption, "");
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);

  fs::last_write_time(mdb, fs::last_write_time(data.paths().UpdateDb()) + std::chrono::hours(1));
  result = UpdateReferenceTables(state);
  EXPECT_EQ(result.note, "GIS_UPDATE.mdb was used: it is newer than GIS_UPDATE.db");
  EXPECT_THAT(ui.messages,
              ElementsAre(::testing::StartsWith("The update database " + mdb.string())));

  // The update database the program builds from its own lists (as `init`
  // does) gives way to an agency's file copied with its older time kept, and
  // is used when it stands alone.
  fs::remove(data.paths().UpdateDb());
  {
    Connection own;
    own.Create(data.paths().UpdateDb());
    InstallUpdateDatabase(own);
  }
  fs::last_write_time(mdb, fs::last_write_time(data.paths().UpdateDb()) - std::chrono::days(30));
  const UpdateFileChoice agency = ChooseUpdateFile(state.paths);
  EXPECT_EQ(agency.file, mdb);
  EXPECT_EQ(agency.note,
            "GIS_UPDATE.mdb was used: GIS_UPDATE.db holds only the lists the program came with");
  fs::remove(mdb);
  EXPECT_EQ(ChooseUpdateFile(state.paths).file, data.paths().UpdateDb());
  EXPECT_EQ(ChooseUpdateFile(state.paths).note, "");
}

TEST_F(ReferenceUpdateTest, AgencyUpdateFilesAddTheirLaboratoryAndSourceAndKeepTheContracts) {
  const fs::path agency = fs::path(SORVANE_CORPUS_DIR) / "access" / "agency";
  if (!fs::exists(agency)) GTEST_SKIP() << "no corpus beside the repository";
  const auto contracts = Column("SELECT CONTRACT || CONTRACTOR FROM MT_CONTRACTOR ORDER BY 1");
  for (const char* file : {"GIS_UPDATE.mdb", "GIS_UPDATE.accdb"}) {
    SCOPED_TRACE(file);
    state.paths.update_db_override = agency / file;
    auto result = UpdateReferenceTables(state);
    EXPECT_THAT(ui.messages, IsEmpty());
    EXPECT_THAT(result.replaced, ElementsAre("MT_LAB", "MT_SAMPLE_SOURCE"));
    EXPECT_THAT(result.kept, ElementsAre("MT_CONTRACTOR"));
    EXPECT_THAT(result.kept_why, ElementsAre("not in the update database"));
    EXPECT_THAT(Column("SELECT ALIAS || '|' || NAME || '|' || NOFORMAT FROM MT_LAB WHERE LAB = 99"),
                ElementsAre("GCA|Gulf Coast Analytical Services|GULFCOASTANALYTICALSERVICES"));
    EXPECT_THAT(Column("SELECT SOURCE || '|' || SOURCE_TYPE || XY_REQ || DEPTH_REQ FROM "
                       "MT_SAMPLE_SOURCE WHERE SOURCE_ID = 'spring'"),
                ElementsAre("Spring|OTHERYN"));
    EXPECT_EQ(Column("SELECT CONTRACT || CONTRACTOR FROM MT_CONTRACTOR ORDER BY 1"), contracts);
    state.WorkConn.ExecuteNative("DELETE FROM MT_LAB WHERE LAB = 99");
  }
}

using ::testing::HasSubstr;
using ::testing::Not;

// The lines of a database dump that hold `table`'s rows.
std::string RowsOf(const std::string& dump, const std::string& table) {
  std::string out;
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(table + ":")) out += line + "\n";
  return out;
}

// Reads every table of `file` in one child, as the update reads each one: the
// reasons of the tables that could not be read, then "read" when the file
// itself could be, or the reason it could not.
std::vector<std::string> ReadEveryTable(const fs::path& file, const ChildLimits& limits) {
  std::vector<std::string> reasons;
  try {
    LimitedChild child(limits, [&file](int fd) {
      auto access = AccessFile::Open(file);
      auto send = [fd](FrameTag tag, const std::string& payload) {
        if (!WriteAll(fd, EncodeFrame(tag, payload))) _exit(1);
      };
      for (const std::string& table : access->TableNames()) {
        try {
          access->ReadTable(
              table, [&](const auto& columns) { send(FrameTag::kColumns, EncodeColumns(columns)); },
              [&](const auto& row) { send(FrameTag::kRow, EncodeRow(row)); });
        } catch (const Error& e) {
          send(FrameTag::kTableName, e.description());
        }
      }
      send(FrameTag::kEnd, "");
    });
    std::vector<SourceColumn> columns;
    std::vector<Value> row;
    for (Frame f = child.Next(); f.tag != FrameTag::kEnd; f = child.Next()) {
      if (f.tag == FrameTag::kTableName) reasons.push_back(f.payload);
      EXPECT_TRUE(f.tag != FrameTag::kColumns || DecodeColumns(f.payload, columns));
      EXPECT_TRUE(f.tag != FrameTag::kRow || DecodeRow(f.payload, columns.size(), row));
    }
    reasons.push_back("read");
  } catch (const Error& e) {
    reasons.push_back(e.description());
  }
  return reasons;
}

TEST(AccessDamage, DamagedFilesAreRefusedOrReadAndTheWorkDatabaseIsNeverHalfChanged) {
  const fs::path corpus = fs::path(SORVANE_CORPUS_DIR) / "access";
  if (!fs::exists(corpus / "nwind.mdb")) GTEST_SKIP() << "no corpus beside the repository";
  WorkDataDir dir;
  ScriptedUi ui;
  Paths paths = dir.paths();
  RunState state(ui, paths);
  state.WorkConn.Open(paths.WorkDb());
  const ChildLimits limits{.time = std::chrono::seconds(10)};
  std::mt19937 random(20240611);
  int copies = 0, refused = 0;

  for (const char* name :
       {"nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb", "agency/GIS_WORK.mdb",
        "agency/GIS_UPDATE.mdb", "agency/GIS_UPDATE.accdb"}) {
    const std::string whole = ReadFile(corpus / name);
    const size_t page = name == std::string("nwind.mdb") ? 2048 : 4096;
    for (int k = 0; k < 50; ++k, ++copies) {
      std::string copy = whole;
      if (k < 10) {
        copy.resize(random() % whole.size());
      } else if (k < 20) {
        copy.resize(page * (1 + random() % (whole.size() / page - 1)));
      } else {
        // Most of a file is free space; half the flips go to its first pages,
        // where the catalog and the table definitions lie.
        const size_t span = k % 2 == 0 ? std::min<size_t>(whole.size(), 65536) : whole.size();
        for (int flips = 1 << (k % 7); flips > 0; --flips)
          copy[random() % span] ^= static_cast<char>(1 << (random() % 8));
      }
      const fs::path file = dir.dir() / ("damaged" + fs::path(name).extension().string());
      std::ofstream(file, std::ios::binary | std::ios::trunc) << copy;
      SCOPED_TRACE(std::string(name) + " copy " + std::to_string(k));

      // Our code in the child stays clean under the sanitizers; the library's
      // own faults end the child and come back as a reason.
      auto clean = [](const std::vector<std::string>& reasons) {
        for (const std::string& reason : reasons) {
          EXPECT_THAT(reason, Not(HasSubstr("Sanitizer")));
          EXPECT_THAT(reason, Not(HasSubstr("runtime error")));
        }
      };
      std::vector<std::string> reasons = ReadEveryTable(file, limits);
      clean(reasons);
      if (reasons.size() > 1 || reasons.back() != "read") ++refused;
      if (!fs::path(name).stem().string().starts_with("GIS_UPDATE")) continue;

      // As the update database.
      const std::string before = DumpDatabase(state.WorkConn);
      ui.messages.clear();
      state.paths.update_db_override = file;
      ReferenceUpdateResult result = UpdateReferenceTables(state, limits);
      clean(result.kept_why);
      clean(ui.messages);
      const std::string after = DumpDatabase(state.WorkConn);
      for (const std::string& table : result.kept)
        EXPECT_EQ(RowsOf(after, table), RowsOf(before, table));
      if (result.replaced.empty()) {
        EXPECT_EQ(after, before);
      }
    }
  }
  EXPECT_EQ(copies, 300);
  EXPECT_GT(refused, 50) << "too few copies were damaged where it shows";
}

}  // namespace
}  // namespace sorvane::testing
