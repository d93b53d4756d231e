// The program's SQL dialect on SQLite: the translation, the dialect's functions,
// and the connection waiting for a writer and refusing writes after the engine
// gave up a transaction.
#include "workdb/jet_sql.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/errors.h"
#include "support/case_table.h"
#include "support/work_db.h"
#include "workdb/connection.h"

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

}  // namespace
}  // namespace sorvane
