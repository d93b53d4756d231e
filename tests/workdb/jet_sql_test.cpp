#include "workdb/jet_sql.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/errors.h"
#include "support/work_db.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

struct Case {
  const char* jet;
  const char* sqlite;
};

TEST(JetSqlTest, TranslatesTheDialect) {
  const Case cases[] = {
      {"DELETE * FROM MT_TEMP1", "DELETE FROM MT_TEMP1"},
      {"SELECT UCASE(A), UCASE (B) FROM T", "SELECT JET_UCASE(A), JET_UCASE (B) FROM T"},
      {"SELECT INT(((9/5)*VALUE+32)) AS F FROM T",
       "SELECT JET_INT(((9*1.0/5)*VALUE+32)) AS F FROM T"},
      {"SELECT FORMAT (TOC - BOC,'####0.#') AS BOC FROM T",
       "SELECT JET_FORMAT (TOC - BOC,'####0.#') AS BOC FROM T"},
      {"WHERE D >=NOW()", "WHERE D >=JET_NOW()"},
      {"WHERE D <= #6/30/02#", "WHERE D <= '2002-06-30 00:00:00'"},
      {"WHERE D > #31-AUG-00#", "WHERE D > '2000-08-31 00:00:00'"},
      {"WHERE SITE LIKE '*1234567'", "WHERE SITE LIKE '%1234567'"},
      {"WHERE M Like 'SPLP%'", "WHERE M Like 'SPLP%'"},
      {"WHERE [MT_ANALYTE].[CAS] not like 'NA%'ORDER BY X",
       "WHERE \"MT_ANALYTE\".\"CAS\" not like 'NA%'ORDER BY X"},
      {"SELECT 'a*b', 'it''s #1/1/01#' FROM T", "SELECT 'a*b', 'it''s #1/1/01#' FROM T"},
      {"UPDATE MT_TEMP5 SET MT_TEMP5.METHOD = '1312' WHERE UCASE(METHOD) Like 'SPLP%'",
       "UPDATE MT_TEMP5 SET METHOD = '1312' WHERE JET_UCASE(METHOD) Like 'SPLP%'"},
      {"UPDATE MT_TEMP5 INNER JOIN MT_LAB ON MT_TEMP5.LABNOFORMAT = MT_LAB.NOFORMAT SET "
       "MT_TEMP5.LAB =MT_LAB.LAB ",
       "UPDATE MT_TEMP5 SET LAB =MT_LAB.LAB FROM MT_LAB WHERE (MT_TEMP5.LABNOFORMAT = "
       "MT_LAB.NOFORMAT)"},
      {"UPDATE MT_TEMP4 INNER JOIN MT_TEMP4A ON (MT_TEMP4.SAM_ID = MT_TEMP4A.SAM_ID) SET "
       "MT_TEMP4A.REVIEWED = 'PRIOR' WHERE (((MT_TEMP4.SAM_DATE)<= #6/30/02# ))",
       "UPDATE MT_TEMP4A SET REVIEWED = 'PRIOR' FROM MT_TEMP4 WHERE ((MT_TEMP4.SAM_ID = "
       "MT_TEMP4A.SAM_ID)) AND ((((MT_TEMP4.SAM_DATE)<= '2002-06-30 00:00:00' )))"},
      {"SELECT COUNT(*) FROM T", "SELECT COUNT(*) FROM T"},
      {"SELECT A.X FROM MT_ANALYTE RIGHT JOIN qry_5_4 ON A.N = B.N WHERE 1",
       "SELECT A.X FROM qry_5_4 LEFT JOIN MT_ANALYTE ON A.N = B.N WHERE 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(TranslateJet(c.jet), c.sqlite) << c.jet;
}

// The fixed statements of the program, as the program sends them.
const char* const kStatements[] = {
    "DELETE * FROM MT_TEMP1",
    "DELETE * FROM MT_TEMP2",
    "DELETE * FROM MT_TEMP2A",
    "DELETE * FROM MT_TEMP3",
    "DELETE * FROM MT_TEMP4",
    "DELETE * FROM MT_TEMP4A",
    "DELETE * FROM MT_TEMP5",
    "SELECT * FROM MT_VBSTRUCTURE WHERE TABLE_NAME='TEMP_1' ORDER BY FIELD_ORDER",
    "SELECT COUNT(*) FROM T_SITE WHERE SITE LIKE '*1234567'",
    "SELECT SITE, POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS, NAVD, COL_METHOD, "
    "COL_DATE, CONTRACT, COMMENTS FROM MT_TEMP1 WHERE SITE IS NULL",
    "SELECT SITE, POINT_ID, FLUW_ID, INSTALL_DATE, STATUS, TOC, TOP_SCR, BOT_SCR, BOC, DIA, "
    "MATERIAL, AQUIFER, CONTRACT, COMMENTS FROM MT_TEMP2 WHERE SITE IS NULL",
    "SELECT SITE, POINT_ID, A_PARAMETER, VALUE, UNITS, SOURCE, COMMENTS FROM MT_TEMP2A WHERE "
    "SITE IS NULL",
    "SELECT SITE, POINT_ID, WL_DATE, WL, CONTRACT, COMMENTS FROM MT_TEMP3 WHERE SITE IS NULL",
    "SELECT SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, SAM_SOURCE, DEPTH_BLS, CONTRACT, COMMENTS "
    "FROM MT_TEMP4 WHERE SITE IS NULL",
    "SELECT SITE, POINT_ID, SAM_ID, FIELDTEST, VALUE, UNITS, COMMENTS FROM MT_TEMP4A WHERE SITE "
    "IS NULL",
    "SELECT SITE, POINT_ID, SAM_ID, METHOD, CAS_NUMBER, CONT_NAME, CONCENTRATION, UNITS, LAB_Q, "
    "MDL, Comments, LABORATORY,  CONT_NAME_NOFORMAT FROM MT_TEMP5 WHERE SITE IS NULL",
    "UPDATE MT_TEMP1 SET POINT_ID = UCASE(POINT_ID), COL_METHOD = UCASE (COL_METHOD), CONTRACT = "
    "UCASE(CONTRACT)",
    "UPDATE MT_TEMP2 SET POINT_ID = UCASE(POINT_ID), STATUS = UCASE(STATUS), MATERIAL = "
    "UCASE(MATERIAL), AQUIFER = UCASE(AQUIFER), CONTRACT = UCASE(CONTRACT)",
    "UPDATE MT_TEMP2A SET POINT_ID = UCASE(POINT_ID), A_PARAMETER = UCASE(A_PARAMETER), UNITS = "
    "UCASE(UNITS)",
    "UPDATE MT_TEMP3 SET POINT_ID = UCASE(POINT_ID), CONTRACT=UCASE(CONTRACT)",
    "UPDATE MT_TEMP4 SET POINT_ID = UCASE(POINT_ID), SAM_ID=UCASE(SAM_ID), MATRIX=UCASE(MATRIX), "
    "SAM_SOURCE = UCASE(SAM_SOURCE), CONTRACT = UCASE(CONTRACT)",
    "UPDATE MT_TEMP4A SET POINT_ID = UCASE(POINT_ID), SAM_ID=UCASE(SAM_ID), "
    "FIELDTEST=UCASE(FIELDTEST), UNITS = UCASE(UNITS)",
    "UPDATE MT_TEMP5 SET POINT_ID = UCASE(POINT_ID), SAM_ID=UCASE(SAM_ID), METHOD=UCASE(METHOD), "
    "UNITS = UCASE(UNITS), LAB_Q = UCASE(LAB_Q)",
    "UPDATE MT_TEMP2A SET REVIEWED = 'NEW'",
    "UPDATE MT_TEMP1 SET REVIEWED = 'PRIOR' WHERE POINT_ID IN (SELECT DISTINCT POINT_ID FROM "
    "MT_TEMP4 WHERE SAM_DATE <= #6/30/02#) OR POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP3 "
    "WHERE WL_DATE<=#6/30/02#) ",
    "UPDATE MT_TEMP3 SET REVIEWED = 'PRIOR' WHERE WL_DATE <= #6/30/02# ",
    "UPDATE MT_TEMP4 SET REVIEWED = 'PRIOR' WHERE SAM_DATE <= #6/30/02# ",
    "UPDATE MT_TEMP4 INNER JOIN MT_TEMP4A ON (MT_TEMP4.SAM_ID = MT_TEMP4A.SAM_ID) AND "
    "(MT_TEMP4.POINT_ID = MT_TEMP4A.POINT_ID) AND (MT_TEMP4.SITE = MT_TEMP4A.SITE) SET "
    "MT_TEMP4A.REVIEWED = 'PRIOR' WHERE (((MT_TEMP4.SAM_DATE)<= #6/30/02# ))",
    "UPDATE MT_TEMP5 INNER JOIN MT_TEMP4 ON (MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID) AND "
    "(MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID) AND (MT_TEMP5.SITE = MT_TEMP4.SITE) SET "
    "MT_TEMP5.REVIEWED = 'PRIOR' WHERE (((MT_TEMP4.SAM_DATE)<= #6/30/02#))",
    "SELECT * FROM MT_TEMP5",
    "UPDATE MT_TEMP5 INNER JOIN MT_LAB ON MT_TEMP5.LABNOFORMAT = MT_LAB.NOFORMAT SET MT_TEMP5.LAB "
    "=MT_LAB.LAB ",
    "UPDATE MT_TEMP5 SET LAB = 0 WHERE LAB IS NULL",
    "UPDATE MT_TEMP5 SET MT_TEMP5.METHOD = '1312' WHERE UCASE(METHOD) Like 'SPLP%'",
    "SELECT SOURCE_ID, SOURCE AS DESCRIPTION, XY_REQ, DEPTH_REQ FROM MT_SAMPLE_SOURCE ORDER BY "
    "SOURCE_TYPE DESC, SOURCE_ID",
    "SELECT CAS, ANALYTE, ANALYTENOFORMAT FROM MT_ANALYTE",
    "SELECT LAB AS LAB_ID, ALIAS AS ABBREVIATION, NAME AS LABORATORY  FROM MT_LAB ORDER BY NAME",
    "SELECT CONTRACT, CONTRACTOR FROM MT_CONTRACTOR ORDER BY CONTRACT",
};

TEST(JetSqlTest, EveryFixedStatementRunsOnAWorkDatabase) {
  Connection conn;
  testing::OpenTestWorkDb(conn);
  for (const char* sql : kStatements) {
    try {
      if (std::string_view(sql).starts_with("SELECT"))
        conn.Query(sql);
      else
        conn.Execute(sql);
    } catch (const Error& e) {
      ADD_FAILURE() << sql << "\n -> " << TranslateJet(sql) << "\n -> " << e.NumberDescription();
    }
  }
}

TEST(JetSqlTest, JoinedUpdatesChangeTheRightRows) {
  Connection conn;
  conn.OpenInMemory();
  conn.ExecuteScript(
      "CREATE TABLE MT_TEMP4 (SITE TEXT COLLATE NOCASE, POINT_ID TEXT COLLATE NOCASE, SAM_ID TEXT "
      "COLLATE NOCASE, SAM_DATE DATETIME, REVIEWED TEXT COLLATE NOCASE);"
      "CREATE TABLE MT_TEMP4A (SITE TEXT COLLATE NOCASE, POINT_ID TEXT COLLATE NOCASE, SAM_ID TEXT "
      "COLLATE NOCASE, REVIEWED TEXT COLLATE NOCASE);"
      "INSERT INTO MT_TEMP4 VALUES ('1','P','S1','2002-06-30 00:00:00','NEW'),"
      "('1','P','S2','2002-07-01 00:00:00','NEW');"
      "INSERT INTO MT_TEMP4A VALUES ('1','P','s1','NEW'),('1','P','S2','NEW');");
  conn.Execute(
      "UPDATE MT_TEMP4 INNER JOIN MT_TEMP4A ON (MT_TEMP4.SAM_ID = MT_TEMP4A.SAM_ID) AND "
      "(MT_TEMP4.POINT_ID = MT_TEMP4A.POINT_ID) AND (MT_TEMP4.SITE = MT_TEMP4A.SITE) SET "
      "MT_TEMP4A.REVIEWED = 'PRIOR' WHERE (((MT_TEMP4.SAM_DATE)<= #6/30/02# ))");
  RecordSet rs = conn.Query("SELECT SAM_ID, REVIEWED FROM MT_TEMP4A ORDER BY SAM_ID");
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.At(0, 1).ToDisplay(), "PRIOR");  // matched ignoring case
  EXPECT_EQ(rs.At(1, 1).ToDisplay(), "NEW");
  RecordSet t4 = conn.Query("SELECT REVIEWED FROM MT_TEMP4");
  EXPECT_EQ(t4.At(0, 0).ToDisplay(), "NEW");  // the joined table is left alone
}

TEST(JetSqlTest, FunctionsBehaveAsTheDialectDoes) {
  Connection conn;
  conn.OpenInMemory();
  RecordSet rs = conn.Query(
      "SELECT INT(((9/5)*31+32)) AS F, FORMAT (100 - 30,'####0.#') AS A, FORMAT(12.345,'####0.#') "
      "AS B, INT(-2.5) AS C, UCASE('mg/l caf\xC3\xA9') AS D");
  EXPECT_EQ(rs.At(0, 0), Value::Integer(87));
  EXPECT_EQ(rs.At(0, 1), Value::Text("70."));
  EXPECT_EQ(rs.At(0, 2), Value::Text("12.3"));
  // Halves round away from zero on the value's 15 significant digits.
  RecordSet halves = conn.Query(
      "SELECT FORMAT (101.25 - 25,'####0.#'), FORMAT (101.45 - 25.1,'####0.#'), "
      "FORMAT (-2.25,'####0.#'), FORMAT (99.96,'####0.#'), FORMAT (0.04,'####0.#')");
  EXPECT_EQ(halves.At(0, 0), Value::Text("76.3"));
  EXPECT_EQ(halves.At(0, 1), Value::Text("76.4"));
  EXPECT_EQ(halves.At(0, 2), Value::Text("-2.3"));
  EXPECT_EQ(halves.At(0, 3), Value::Text("100."));
  EXPECT_EQ(halves.At(0, 4), Value::Text("0."));
  EXPECT_EQ(conn.QueryValue("SELECT JET_FORMAT(1e999 - 1, '####0.#')"), Value::Text("Inf"));
  EXPECT_EQ(rs.At(0, 3), Value::Integer(-3));
  EXPECT_EQ(rs.At(0, 4), Value::Text("MG/L CAF\xC3\x89"));
  Value now = conn.QueryValue(TranslateJet("SELECT NOW()"));
  EXPECT_TRUE(Date::FromIso(now.ToDisplay()).has_value()) << now.ToDisplay();
}

TEST(ConnectionTest, OpeningAMissingOrForeignFileIsADatabaseOpenError) {
  testing::TempDataDir dir;
  Connection conn;
  EXPECT_THROW(conn.Open(dir.dir() / "nope.db"), DatabaseOpenError);
  EXPECT_FALSE(std::filesystem::exists(dir.dir() / "nope.db"));  // never created
  {
    std::FILE* f = std::fopen((dir.dir() / "junk.db").c_str(), "w");
    std::fputs("this is not a database, just some text that is long enough.........", f);
    std::fclose(f);
  }
  EXPECT_THROW(conn.Open(dir.dir() / "junk.db"), DatabaseOpenError);
  EXPECT_FALSE(conn.IsOpen());
  std::fclose(std::fopen((dir.dir() / "empty.db").c_str(), "w"));
  EXPECT_THROW(conn.Open(dir.dir() / "empty.db"), DatabaseOpenError);
}

TEST(ConnectionTest, OpeningWaitsForAWriterToFinish) {
  testing::TempDataDir dir;
  const std::filesystem::path file = dir.dir() / "busy.db";
  Connection writer;
  writer.Create(file);
  writer.ExecuteScript("CREATE TABLE T (X); BEGIN EXCLUSIVE; INSERT INTO T VALUES (1);");
  std::thread finish([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    writer.ExecuteNative("COMMIT");
  });
  Connection reader;
  EXPECT_NO_THROW(reader.Open(file));
  finish.join();
  EXPECT_TRUE(reader.IsOpen());
}

TEST(ConnectionTest, QueriesTypeColumnsFromTheirDeclarationsAndTransactionsRollBack) {
  Connection conn;
  conn.OpenInMemory();
  conn.ExecuteScript(
      "CREATE TABLE T (D DATETIME, N REAL, I INTEGER, S TEXT COLLATE NOCASE);"
      "INSERT INTO T VALUES ('2002-06-30 00:00:00', 2, 3, 'x');");
  RecordSet rs = conn.Query("SELECT D, N, I, S, COUNT(*) AS C FROM T");
  EXPECT_EQ(rs.GetField(0).type, 7);
  EXPECT_EQ(rs.At(0, 0), Value::FromDate(*Date::FromParts(2002, 6, 30)));
  EXPECT_EQ(rs.At(0, 1), Value::Real(2));
  EXPECT_EQ(rs.At(0, 2), Value::Integer(3));
  EXPECT_EQ(rs.At(0, 4), Value::Integer(1));
  {
    Transaction tx(conn);
    conn.Execute("DELETE * FROM T");
  }  // not committed
  EXPECT_EQ(conn.QueryValue("SELECT COUNT(*) FROM T"), Value::Integer(1));
  {
    Transaction outer(conn);
    {
      Transaction inner(conn);
      conn.Execute("DELETE * FROM T");
      inner.Commit();
    }
    outer.Commit();
  }
  EXPECT_EQ(conn.QueryValue("SELECT COUNT(*) FROM T"), Value::Integer(0));
  EXPECT_THROW(conn.Query("SELECT * FROM NO_SUCH_TABLE"), DatabaseError);
}

TEST(ConnectionTest, BoundTextCannotChangeAStatement) {
  Connection conn;
  conn.OpenInMemory();
  conn.ExecuteScript("CREATE TABLE T (S TEXT); INSERT INTO T VALUES ('a');");
  const std::string evil = "x'); DROP TABLE T; --";
  conn.ExecuteNative("INSERT INTO T VALUES (?1)", {Value::Text(evil)});
  EXPECT_EQ(conn.QueryValue("SELECT COUNT(*) FROM T WHERE S = ?1", {Value::Text(evil)}),
            Value::Integer(1));
  Inserter ins(conn, "T", {"S"});
  ins.Bind(0, Value::Text("b"));
  ins.Step();
  EXPECT_EQ(conn.QueryValue("SELECT COUNT(*) FROM T"), Value::Integer(3));
}

}  // namespace
}  // namespace sorvane
