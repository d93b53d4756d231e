// The program's SQL dialect on SQLite (the translation and the dialect's
// functions), the connection waiting for a writer and refusing writes after the
// engine gave up a transaction, and the shipped work and update databases:
// properties the checks and the standardisation rely on, over every table and
// every reference row.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.h"
#include "core/text.h"
#include "support/case_table.h"
#include "support/work_db.h"
#include "workdb/connection.h"
#include "workdb/jet_sql.h"
#include "workdb/work_database.h"

namespace sorvane {
namespace {

TEST(JetSqlTest, TranslatesTheDialect) {
  for (const auto& c : testing::CaseTable("jet_dialect.txt"))
    EXPECT_EQ(TranslateJet(c[0]), c[1]) << c[0];
}

TEST(JetSqlTest, FunctionsBehaveAsTheDialectDoes) {
  Connection conn;
  conn.OpenInMemory();
  for (const auto& c : testing::CaseTable("jet_functions.txt")) {
    const Value v = conn.Query("SELECT " + c[0]).At(0, 0);
    EXPECT_EQ(v.ToDisplay(), c[1]) << c[0];
    EXPECT_EQ(v.kind(), c[2] == "integer" ? Value::Kind::kInteger : Value::Kind::kText) << c[0];
  }
  EXPECT_TRUE(Date::FromIso(conn.Query("SELECT NOW()").At(0, 0).ToDisplay()).has_value());
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
}

// A full disk makes the engine roll the whole transaction back by itself; a
// page limit stands in for the disk here.
TEST(ConnectionTest, WritesAfterTheEngineRolledBackTheTransactionFailAndLeaveNothing) {
  Connection conn;
  testing::OpenTestWorkDb(conn);
  conn.ExecuteNative("CREATE TABLE scratch (v TEXT)");
  {
    Transaction tx(conn);
    conn.ExecuteNative("INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567')");
    conn.QueryValue("PRAGMA max_page_count=" + conn.QueryValue("PRAGMA page_count").ToDisplay());
    EXPECT_THROW(conn.ExecuteNative("INSERT INTO scratch VALUES (?1)",
                                    {Value::Text(std::string(200000, 'x'))}),
                 DatabaseError);
    conn.QueryValue("PRAGMA max_page_count=1073741823");  // room again
    EXPECT_THROW(conn.ExecuteNative("INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567')"),
                 DatabaseError);
    Inserter insert(conn, "MT_TEMP5", {"SITE"});
    insert.Bind(0, Value::Text("1234567"));
    EXPECT_THROW(insert.Step(), DatabaseError);
  }
  EXPECT_EQ(conn.QueryValue("SELECT count(*) FROM MT_TEMP5"), Value::Integer(0));
  Transaction next(conn);  // usable again once the guards are gone
  conn.ExecuteNative("INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567')");
  next.Commit();
  EXPECT_EQ(conn.QueryValue("SELECT count(*) FROM MT_TEMP5"), Value::Integer(1));
}

using testing::QueryLines;

// NNNNNNN-NN-N: the last digit is the sum of the others weighted 1, 2, 3 ...
// from the right, modulo 10.
bool CasCheckDigitOk(const std::string& cas) {
  const size_t first = cas.find('-'), second = cas.rfind('-');
  if (first < 2 || first > 7 || second != first + 3 || second + 2 != cas.size()) return false;
  const std::string digits = cas.substr(0, first) + cas.substr(first + 1, 2) + cas.back();
  if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
  int sum = 0;
  for (size_t i = 0; i + 1 < digits.size(); ++i)
    sum += (digits[i] - '0') * int(digits.size() - 1 - i);
  return sum % 10 == digits.back() - '0';
}

TEST(WorkDatabaseTest, EveryTextColumnComparesWithoutRegardToCase) {
  Connection conn;
  testing::OpenTestWorkDb(conn);
  RecordSet columns = conn.QueryNative(
      "SELECT m.name, p.name FROM sqlite_master m, pragma_table_info(m.name) p "
      "WHERE m.type = 'table' AND p.type = 'TEXT'");
  ASSERT_GT(columns.RecordCount(), 60);
  for (int64_t i = 0; i < columns.RecordCount(); ++i) {
    const std::string table = columns.At(i, 0).ToDisplay(), name = columns.At(i, 1).ToDisplay();
    Transaction tx(conn);                // rolled back: the probe row never stays
    const bool lab = table == "MT_LAB";  // its key may be neither missing nor 0
    conn.ExecuteNative("INSERT INTO " + table + " (" + (lab ? "LAB, " : "") + name + ") VALUES (" +
                       (lab ? "999, " : "") + "'probe-value x')");
    EXPECT_EQ(
        conn.QueryValue("SELECT count(*) FROM " + table + " WHERE " + name + " = 'PROBE-VALUE X'"),
        Value::Integer(1))
        << table << "." << name;
  }
  EXPECT_THROW(conn.ExecuteNative("INSERT INTO MT_LAB (LAB, NAME) VALUES (0, 'Zero Lab')"),
               DatabaseError);  // 0 marks a laboratory the list does not know
}

TEST(WorkDatabaseTest, ReferenceValuesAreValidAndFitTheWorkbookColumnsThatCarryThem) {
  Connection conn;
  testing::OpenTestWorkDb(conn);
  for (const std::string& cas :
       QueryLines(conn, "SELECT CAS FROM MT_ANALYTE WHERE CAS NOT LIKE 'NA%'"))
    EXPECT_TRUE(CasCheckDigitOk(cas)) << cas;
  EXPECT_FALSE(CasCheckDigitOk("71-43-3"));
  // A value copied from a reference list into a workbook must pass the data-type
  // stage, or the check that compares it could never be satisfied.
  const char* const carried[][3] = {
      {"SELECT CONTRACT FROM MT_CONTRACTOR", "TEMP_1", "SL_CONTRACT"},
      {"SELECT CONTRACT FROM MT_CONTRACTOR", "TEMP_4", "F_CONTRACT"},
      {"SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE", "TEMP_4", "SAM_SOURCE"},
      {"SELECT CAS FROM MT_ANALYTE", "TEMP_5", "CAS_NUMBER"},
      {"SELECT ANALYTE FROM MT_ANALYTE", "TEMP_5", "CONT_NAME"},
      {"SELECT NAME FROM MT_LAB", "TEMP_5", "A_LABORATORY"},
      {"SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME = 'MATERIAL'", "TEMP_2", "MATERIAL"},
      {"SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME = 'STATUS'", "TEMP_2", "STATUS"},
      {"SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME = 'AQUIFER'", "TEMP_2", "AQUIFER"},
  };
  for (const auto& [values, table, field] : carried) {
    const Value size = conn.QueryValue(
        "SELECT FIELD_SIZE FROM MT_VBSTRUCTURE WHERE TABLE_NAME = ?1 AND FIELD_NAME = ?2 AND "
        "FIELD_TYPE = 200",
        {Value::Text(table), Value::Text(field)});
    ASSERT_TRUE(size.IsNumber()) << table << "." << field;
    for (const std::string& v : QueryLines(conn, values))
      EXPECT_LE(Utf8Length(v), size.ToDouble()) << field << ": " << v;
  }
}

TEST(UpdateDatabaseTest, HoldsTheReferenceTablesAsTheWorkDatabaseHasThem) {
  Connection update, work;
  update.OpenInMemory();
  InstallUpdateDatabase(update);
  testing::OpenTestWorkDb(work);
  const std::string columns = "SELECT group_concat(name || ' ' || type) FROM pragma_table_info(?1)";
  const std::vector<std::string> listed = QueryLines(update, "SELECT TABLE_NAME FROM UPDATE_LIST");
  EXPECT_EQ(listed.size(), 6u);
  for (const std::string& table : listed) {
    const Value name = Value::Text(table);
    EXPECT_EQ(update.QueryValue(columns, {name}), work.QueryValue(columns, {name})) << table;
    const std::string count = "SELECT count(*) FROM " + table;
    EXPECT_GT(update.QueryValue(count).ToDouble(), 0) << table;
    EXPECT_EQ(update.QueryValue(count), work.QueryValue(count)) << table;
  }
  // Only reference tables travel: no temporary table, no saved query.
  EXPECT_EQ(update.QueryValue("SELECT group_concat(name) FROM sqlite_master WHERE name LIKE "
                              "'MT_TEMP%' OR name LIKE 'qry%'"),
            Value());
}

}  // namespace
}  // namespace sorvane
