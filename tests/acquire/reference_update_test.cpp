// Refreshing the reference tables of the work database from the update database.
#include "acquire/reference_update.h"

#include "acquire_fixture.h"
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
  void MakeUpdateDb(const std::string& sql) {
    Connection upd;
    upd.Create(data.paths().UpdateDb());
    upd.ExecuteScript(sql);
  }
  std::vector<std::string> Column(const std::string& sql) {
    RecordSet rs = state.WorkConn.QueryNative(sql);
    std::vector<std::string> out;
    for (int64_t r = 0; r < rs.RecordCount(); ++r) out.push_back(rs.At(r, 0).ToDisplay());
    return out;
  }
  // Schema and rows of the whole work database, as text.
  std::string Dump() {
    std::string out;
    RecordSet tables = state.WorkConn.QueryNative(
        "SELECT name, CAST(sql AS TEXT) FROM sqlite_master WHERE sql IS NOT NULL ORDER BY type, "
        "name");
    for (int64_t r = 0; r < tables.RecordCount(); ++r) {
      out += tables.At(r, 1).ToDisplay() + ";\n";
    }
    for (const std::string& t : Column("SELECT name FROM sqlite_master WHERE type = 'table' "
                                       "ORDER BY name")) {
      RecordSet rows = state.WorkConn.QueryNative("SELECT * FROM \"" + t + "\" ORDER BY 1, 2");
      for (int64_t r = 0; r < rows.RecordCount(); ++r) {
        out += t + ":";
        for (size_t f = 0; f < rows.FieldCount(); ++f) out += rows.At(r, f).ToDisplay() + "|";
        out += "\n";
      }
    }
    return out;
  }
  std::vector<std::string> AttachedDatabases() {
    return Column("SELECT name FROM pragma_database_list");
  }
};

const char kNewLabs[] = R"(
CREATE TABLE MT_LAB (
  LAB INTEGER NOT NULL CHECK (LAB <> 0),
  ALIAS TEXT COLLATE NOCASE,
  NAME TEXT COLLATE NOCASE,
  NOFORMAT TEXT COLLATE NOCASE
);
CREATE UNIQUE INDEX IX_MT_LAB_LAB ON MT_LAB (LAB);
CREATE INDEX IX_MT_LAB_NOFORMAT ON MT_LAB (NOFORMAT COLLATE NOCASE);
INSERT INTO MT_LAB VALUES (7, 'NEWLAB', 'New Laboratory', 'NEWLAB');
INSERT INTO MT_LAB VALUES (8, 'OTHER', 'Other Lab', 'OTHERLAB');
CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT COLLATE NOCASE);
)";

TEST_F(ReferenceUpdateTest, ListedTableIsReplacedWithStructureIndexesAndRows) {
  MakeUpdateDb(std::string(kNewLabs) + "INSERT INTO UPDATE_LIST VALUES ('MT_LAB');");
  auto result = UpdateReferenceTables(state);

  EXPECT_FALSE(result.shut_down);
  EXPECT_THAT(result.replaced, ElementsAre("MT_LAB"));
  EXPECT_THAT(ui.messages, IsEmpty());
  EXPECT_THAT(Column("SELECT ALIAS FROM MT_LAB ORDER BY LAB"), ElementsAre("NEWLAB", "OTHER"));
  // Text still compares without regard to letter case, and the indexes are back.
  EXPECT_THAT(Column("SELECT LAB FROM MT_LAB WHERE NOFORMAT = 'newlab'"), ElementsAre("7"));
  EXPECT_THAT(Column("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'MT_LAB' "
                     "ORDER BY name"),
              ElementsAre("IX_MT_LAB_LAB", "IX_MT_LAB_NOFORMAT"));
  EXPECT_EQ(state.view.lblStatusAll.caption, "");
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
  EXPECT_THAT(AttachedDatabases(), ElementsAre("main"));
}

TEST_F(ReferenceUpdateTest, EmptyListChangesNothing) {
  MakeUpdateDb(kNewLabs);
  const std::string before = Dump();
  auto result = UpdateReferenceTables(state);
  EXPECT_FALSE(result.shut_down);
  EXPECT_THAT(result.replaced, IsEmpty());
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(state.view.lblStatusAll.caption, "");
  EXPECT_THAT(AttachedDatabases(), ElementsAre("main"));
}

TEST_F(ReferenceUpdateTest, TableTheWorkDatabaseLacksIsCreated) {
  MakeUpdateDb(
      "CREATE TABLE MT_NEW_LIST (CODE TEXT COLLATE NOCASE, WORDS TEXT COLLATE NOCASE);"
      "INSERT INTO MT_NEW_LIST VALUES ('A', 'first'), ('B', 'second');"
      "CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT); INSERT INTO UPDATE_LIST VALUES "
      "('MT_NEW_LIST');");
  ASSERT_FALSE(state.WorkConn.HasTable("MT_NEW_LIST"));
  UpdateReferenceTables(state);
  EXPECT_THAT(Column("SELECT WORDS FROM MT_NEW_LIST WHERE CODE = 'b'"), ElementsAre("second"));
}

TEST_F(ReferenceUpdateTest, WideTableIsCopiedWhole) {
  std::string columns, values;
  for (int c = 1; c <= 40; ++c) {
    columns += std::string(c > 1 ? ", " : "") + "COLUMN_NUMBER_" + std::to_string(c) +
               " TEXT COLLATE NOCASE";
    values += std::string(c > 1 ? ", " : "") + "'" + std::string(300, 'a' + c % 26) + "'";
  }
  MakeUpdateDb("CREATE TABLE MT_WIDE (" + columns + "); INSERT INTO MT_WIDE VALUES (" + values +
               "); CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT);"
               "INSERT INTO UPDATE_LIST VALUES ('MT_WIDE');");
  auto result = UpdateReferenceTables(state);
  EXPECT_THAT(result.replaced, ElementsAre("MT_WIDE"));
  EXPECT_THAT(Column("SELECT length(COLUMN_NUMBER_40) FROM MT_WIDE"), ElementsAre("300"));
}

TEST_F(ReferenceUpdateTest, TableTheUpdateDatabaseLacksKeepsItsRows) {
  const auto labs_before = Column("SELECT NAME FROM MT_LAB ORDER BY LAB");
  ASSERT_FALSE(labs_before.empty());
  MakeUpdateDb(std::string(kNewLabs) +
               "DROP TABLE MT_LAB;"
               "CREATE TABLE MT_CONTRACTOR (CONTRACT TEXT COLLATE NOCASE, CONTRACTOR TEXT COLLATE "
               "NOCASE);"
               "INSERT INTO MT_CONTRACTOR VALUES ('C-99', 'New Contractor');"
               "INSERT INTO UPDATE_LIST VALUES ('MT_LAB'), ('MT_CONTRACTOR');");
  auto result = UpdateReferenceTables(state);
  EXPECT_THAT(result.kept, ElementsAre("MT_LAB"));
  EXPECT_THAT(result.replaced, ElementsAre("MT_CONTRACTOR"));  // the refresh went on
  EXPECT_EQ(Column("SELECT NAME FROM MT_LAB ORDER BY LAB"), labs_before);
  EXPECT_THAT(Column("SELECT CONTRACT FROM MT_CONTRACTOR"), ElementsAre("C-99"));
}

TEST_F(ReferenceUpdateTest, TableThatFailsToCopyKeepsItsRows) {
  const auto labs_before = Column("SELECT NAME FROM MT_LAB ORDER BY LAB");
  // The update database's index is named like an index of another work table,
  // so the copy fails after the old table was dropped.
  MakeUpdateDb(std::string(kNewLabs) +
               "CREATE INDEX IX_T_SITE_SITE ON MT_LAB (NAME);"
               "INSERT INTO UPDATE_LIST VALUES ('MT_LAB');");
  auto result = UpdateReferenceTables(state);
  EXPECT_THAT(result.kept, ElementsAre("MT_LAB"));
  EXPECT_EQ(Column("SELECT NAME FROM MT_LAB ORDER BY LAB"), labs_before);
  EXPECT_THAT(Column("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'MT_LAB' "
                     "ORDER BY name"),
              ElementsAre("IX_MT_LAB_LAB", "IX_MT_LAB_NOFORMAT"));
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

TEST_F(ReferenceUpdateTest, OpenReferenceListKeepsShowingTheOldRows) {
  RecordSet shown = state.WorkConn.Query("SELECT * FROM MT_LAB ORDER BY LAB");
  const int64_t rows = shown.RecordCount();
  const std::string first_name = shown.At(0, shown.FieldIndex("NAME")).ToDisplay();
  MakeUpdateDb(std::string(kNewLabs) + "INSERT INTO UPDATE_LIST VALUES ('MT_LAB');");
  UpdateReferenceTables(state);
  EXPECT_EQ(shown.RecordCount(), rows);
  EXPECT_EQ(shown.At(0, shown.FieldIndex("NAME")).ToDisplay(), first_name);
  EXPECT_EQ(state.WorkConn.Query("SELECT * FROM MT_LAB").RecordCount(), 2);
}

TEST_F(ReferenceUpdateTest, EngineTablesAndOddNamesAreHandledSafely) {
  MakeUpdateDb(
      "CREATE TABLE \"ODD\"\"NAME\" (V TEXT); INSERT INTO \"ODD\"\"NAME\" VALUES ('quoted');"
      "CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT);"
      "INSERT INTO UPDATE_LIST VALUES ('sqlite_master'), ('SQLITE_SEQUENCE'),"
      " ('ODD\"NAME'), ('T_SITE\"; DROP TABLE \"MT_LAB'), ('MT_LAB; DROP TABLE T_SITE'), (NULL);");
  const std::string before = Dump();
  auto result = UpdateReferenceTables(state);
  EXPECT_THAT(result.replaced, ElementsAre("ODD\"NAME"));
  EXPECT_THAT(result.kept,
              ElementsAre("sqlite_master", "SQLITE_SEQUENCE", "T_SITE\"; DROP TABLE \"MT_LAB",
                          "MT_LAB; DROP TABLE T_SITE"));
  EXPECT_THAT(
      result.kept_why,
      ElementsAre("a table of the database engine itself", "a table of the database engine itself",
                  "not in the update database", "not in the update database"));
  EXPECT_THAT(Column("SELECT V FROM \"ODD\"\"NAME\""), ElementsAre("quoted"));
  EXPECT_TRUE(state.WorkConn.HasTable("MT_LAB"));
  EXPECT_TRUE(state.WorkConn.HasTable("T_SITE"));
  state.WorkConn.ExecuteNative("DROP TABLE \"ODD\"\"NAME\"");
  EXPECT_EQ(Dump(), before);
}

TEST_F(ReferenceUpdateTest, DefinitionCarryingASecondStatementIsRefused) {
  const auto labs_before = Column("SELECT NAME FROM MT_LAB ORDER BY LAB");
  MakeUpdateDb(std::string(kNewLabs) + "INSERT INTO UPDATE_LIST VALUES ('MT_LAB');");
  {
    // The engine loads such a schema: it reads only the first statement.
    Connection upd;
    upd.Open(data.paths().UpdateDb());
    upd.ExecuteNative(
        "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = sql || '; DROP TABLE "
        "T_SITE' WHERE name = 'MT_LAB'");
  }
  auto result = UpdateReferenceTables(state);
  EXPECT_THAT(result.kept, ElementsAre("MT_LAB"));
  EXPECT_THAT(result.kept_why, ElementsAre(::testing::HasSubstr("Definition refused: ")));
  EXPECT_TRUE(state.WorkConn.HasTable("T_SITE"));
  EXPECT_EQ(Column("SELECT NAME FROM MT_LAB ORDER BY LAB"), labs_before);
}

TEST_F(ReferenceUpdateTest, MissingOrDamagedUpdateDatabaseAsksForTheShutdown) {
  const std::string message =
      "The Access Update database (GIS_UPDATE.mdb) is missing.  Copy it to " +
      data.paths().UpdateDb().string();
  const std::string before = Dump();
  auto result = UpdateReferenceTables(state);
  EXPECT_TRUE(result.shut_down);
  EXPECT_THAT(ui.messages, ElementsAre(message));
  EXPECT_EQ(ui.yields, 1);  // the window repainted before the file was tried
  EXPECT_FALSE(fs::exists(data.paths().UpdateDb()));  // not created by the attempt

  WriteFile(data.paths().UpdateDb(), "this is not a database, just some text of a length");
  ui.messages.clear();
  result = UpdateReferenceTables(state);
  EXPECT_TRUE(result.shut_down);
  EXPECT_THAT(ui.messages, ElementsAre(message));
  EXPECT_EQ(Dump(), before);
}

TEST_F(ReferenceUpdateTest, UpdateDatabaseWithoutListChangesNothing) {
  MakeUpdateDb("CREATE TABLE MT_LAB (LAB INTEGER);");
  const std::string before = Dump();
  auto result = UpdateReferenceTables(state);
  EXPECT_FALSE(result.shut_down);
  EXPECT_THAT(ui.messages, IsEmpty());
  EXPECT_EQ(Dump(), before);
}

}  // namespace
}  // namespace sorvane::testing
