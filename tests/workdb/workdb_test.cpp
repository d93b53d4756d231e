// The SQL dialect on SQLite, the connection under a writer and a full disk, the
// shipped databases' properties, and replacing a reference table from another
// file's rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/text.h"
#include "support/case_table.h"
#include "support/file_size_limit.h"
#include "support/work_db.h"
#include "workdb/connection.h"
#include "workdb/exact_keys.h"
#include "workdb/halved_scan.h"
#include "workdb/jet_sql.h"
#include "workdb/key_twins.h"
#include "workdb/nocase_collation.h"
#include "workdb/reference_tables.h"
#include "workdb/work_database.h"

namespace sorvane::testing {
namespace {

TEST(JetSqlTest, TranslatesTheDialect) {
  for (const auto& c : CaseTable("jet_dialect.txt")) EXPECT_EQ(TranslateJet(c[0]), c[1]) << c[0];
}

TEST(JetSqlTest, FunctionsBehaveAsTheDialectDoes) {
  Connection conn;
  conn.OpenInMemory();
  for (const auto& c : CaseTable("jet_functions.txt")) {
    const Value v = conn.Query("SELECT " + c[0]).At(0, 0);
    EXPECT_EQ(v.ToDisplay(), c[1]) << c[0];
    EXPECT_EQ(v.kind(), c[2] == "integer" ? Value::Kind::kInteger : Value::Kind::kText) << c[0];
  }
  EXPECT_TRUE(Date::FromIso(conn.Query("SELECT NOW()").At(0, 0).ToDisplay()).has_value());
}

TEST(ConnectionTest, OpeningWaitsForAWriterToFinish) {
  TempDataDir dir;
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
  OpenTestWorkDb(conn);
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

// A stop asked for cuts the running statement short (a query, or a write
// whose transaction then leaves nothing), and the connection serves on; with
// the check let go, statements run to their end again.
TEST(ConnectionTest, AStatementRunningWhenAStopIsAskedForIsCutShort) {
  Connection conn;
  OpenTestWorkDb(conn);
  int looks = 0;
  conn.SetStopCheck([&] { return ++looks > 2; });
  // Minutes of work, were it not cut short.
  const std::string endless =
      "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 2000000000) ";
  EXPECT_THROW(conn.QueryValue(endless + "SELECT count(*) FROM k"), DatabaseError);
  EXPECT_EQ(looks, 3);
  {
    Transaction tx(conn);
    conn.ExecuteNative("INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567')");
    EXPECT_THROW(conn.ExecuteNative(endless + "INSERT INTO MT_TEMP5 (SITE) SELECT i FROM k"),
                 DatabaseError);
  }
  conn.SetStopCheck(nullptr);
  EXPECT_EQ(conn.QueryValue("SELECT count(*) FROM MT_TEMP5"), Value::Integer(0));
  EXPECT_EQ(conn.QueryValue("WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                            "WHERE i < 100000) SELECT count(*) FROM k"),
            Value::Integer(100000));
}

// The engine refuses to change where a sort keeps its runs once a transaction
// has opened its temporary database (scratch tables); the index is built all the same.
TEST(ConnectionTest, AnIndexBuildInATransactionThatMadeScratchTablesSortsInMemory) {
  Connection conn;
  OpenTestWorkDb(conn);
  Transaction tx(conn);
  conn.ExecuteScratch("CREATE TEMP TABLE scratch (v)");
  conn.ExecuteLargeSort("CREATE INDEX IX_SCRATCH ON MT_TEMP5 (SAM_ID)");
  tx.Commit();
  EXPECT_EQ(conn.QueryValue("SELECT count(*) FROM sqlite_master WHERE name = 'IX_SCRATCH'"),
            Value::Integer(1));
}

// An index build that meets a full disk tells that, not only that the
// transaction it was part of is gone: the engine rolls the transaction back
// when it cannot write the pages it holds out to the file (the index here
// outgrows the build's page cache).
TEST(ConnectionTest, AnIndexBuildThatMeetsAFullDiskSaysSo) {
  TempDataDir dir;
  Connection conn;
  conn.Create(dir.dir() / "scratch.db");
  conn.ExecuteNative("CREATE TABLE scratch (v TEXT)");
  Transaction tx(conn);
  for (int i = 0; i < 4000; ++i) {
    conn.ExecuteNative("INSERT INTO scratch VALUES (?1)",
                       {Value::Text(std::string(2000, static_cast<char>('a' + i % 26)))});
  }
  FileSizeLimit full_disk(std::filesystem::file_size(conn.file()));
  try {
    conn.ExecuteLargeSort("CREATE INDEX IX_scratch ON scratch (v)");
    ADD_FAILURE() << "the index was built";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.number() & 0xff, SQLITE_IOERR) << e.what();
  }
}

// The engine takes database paths of a bounded length (room for its
// journal's name included): up to it a database is made and opened, past it
// the refusal says why instead of "unable to open database file".
TEST(ConnectionTest, APathLongerThanTheEngineTakesIsNamed) {
  TempDataDir dir;
  const size_t most = static_cast<size_t>(sqlite3_vfs_find(nullptr)->mxPathname) - 8;
  auto path_of = [&](size_t length) {  // a file in nested folders
    std::filesystem::path p = dir.dir();
    while (p.native().size() + 1 + 200 + 5 < length) p /= std::string(200, 'f');
    p /= std::string(length - p.native().size() - 1 - 3, 'n') + ".db";
    std::filesystem::create_directories(p.parent_path());
    return p;
  };
  const std::filesystem::path fits = path_of(most), too_long = path_of(most + 1);
  ASSERT_EQ(fits.native().size(), most);
  Connection conn;
  conn.Create(fits);
  conn.ExecuteNative("CREATE TABLE t (v); INSERT INTO t VALUES (1)");
  conn.Open(fits);
  EXPECT_EQ(conn.QueryValue("SELECT v FROM t"), Value::Integer(1));
  const std::string reason = "its path is " + std::to_string(most + 1) +
                             " bytes long, and the database engine takes paths of at most " +
                             std::to_string(most) +
                             " bytes; choose a data folder with a shorter path";
  try {
    conn.Create(too_long);
    ADD_FAILURE() << "made";
  } catch (const DatabaseOpenError& e) {
    EXPECT_EQ(e.reason(), "Could not create file '" + too_long.string() + "': " + reason);
  }
  std::ofstream(too_long) << "x";
  try {
    conn.Open(too_long);
    ADD_FAILURE() << "opened";
  } catch (const DatabaseOpenError& e) {
    EXPECT_EQ(e.reason(), reason);
  }
}

// NNNNNNN-NN-N: the last digit is the sum of the others weighted 1, 2, 3 ...
// from the right, modulo 10.
bool CasCheckDigitOk(const std::string& cas) {
  std::smatch m;
  if (!std::regex_match(cas, m, std::regex("(\\d{2,7})-(\\d\\d)-(\\d)"))) return false;
  const std::string digits = m.str(1) + m.str(2);
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) sum += (digits[i] - '0') * int(digits.size() - i);
  return sum % 10 == m.str(3)[0] - '0';
}

TEST(WorkDatabaseTest, EveryTextColumnComparesWithoutRegardToCase) {
  Connection conn;
  OpenTestWorkDb(conn);
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
}

// An in-memory table made by `create` with `rows` rows of `columns` values
// drawn at random from keys of every storage class: NULL, numbers equal across
// integer and real, texts differing in ASCII case only or not at all, texts
// equal up to a NUL they share, accented letters, blobs and the empty text.
void FillAtRandom(Connection& conn, const std::string& create, int columns, int rows,
                  unsigned seed) {
  std::istringstream list(
      "NULL; 1; 1.0; -0.0; 0; 2.5; '1'; 'Ab'; 'aB'; 'ab'; 'ab '; 'a' || char(0) || 'x'; "
      "'A' || char(0) || 'y'; 'a' || char(0) || 'y'; 'a' || char(0); 'Benzo(a)pyrene'; "
      "'BENZO(A)PYRENE'; 'Benzo(a)pyrene' || char(0) || 'q'; 'BENZO(a)pyrene' || char(0) || 'r'; "
      "'Lead'; 'lEAD'; 'Lead' || char(0) || 'xyz'; 'LEAD' || char(0) || 'abc'; 'é'; 'É'; "
      "x'6162'; x'4142'; ''");
  std::vector<std::string> pool;
  for (std::string v; std::getline(list >> std::ws, v, ';');) pool.push_back(v);
  std::mt19937 random(seed);
  conn.OpenInMemory();
  conn.ExecuteNative(create + "; BEGIN");
  for (int r = 0; r < rows; ++r) {
    std::string values = pool[random() % pool.size()];
    for (int c = 1; c < columns; ++c) values += ", " + pool[random() % pool.size()];
    conn.ExecuteNative("INSERT INTO t VALUES (" + values + ")");
  }
  conn.ExecuteNative("COMMIT");
}

// Rows sharing a key are exactly those the engine finds equal to another row
// under NOCASE (IS: NULLs alike), over keys of every storage class: numbers
// equal across integer and real, texts differing in ASCII case only, texts
// equal up to a NUL they share, accented letters, blobs; the key's columns
// keep the values' classes (no type, so no affinity).
TEST(WorkDatabaseTest, RowsSharingAKeyAreThoseTheEngineFindsEqual) {
  Connection conn;
  FillAtRandom(conn, "CREATE TABLE t (a COLLATE NOCASE, b COLLATE NOCASE, c TEXT)", 3, 600, 11);
  ASSERT_EQ(DeclaredColumn(conn, "t", "A"), (ColumnDeclaration{"", "NOCASE"}));
  ASSERT_EQ(DeclaredColumn(conn, "t", "c"), (ColumnDeclaration{"TEXT", "BINARY"}));
  ASSERT_EQ(DeclaredColumn(conn, "t", "d"), std::nullopt);
  auto engine = [&](const std::string& same) {
    const RecordSet rs = conn.QueryNative(
        "SELECT rowid FROM t x WHERE EXISTS (SELECT 1 FROM t y WHERE y.rowid <> x.rowid AND " +
        same + ") ORDER BY rowid");
    std::vector<int64_t> rowids;
    for (int64_t r = 0; r < rs.RecordCount(); ++r) rowids.push_back(rs.At(r, 0).AsInteger());
    return rowids;
  };
  const std::vector<int64_t> twins = RowidsSharingKeys(conn, "SELECT rowid, a, b FROM t");
  EXPECT_EQ(twins, engine("y.a IS x.a AND y.b IS x.b"));
  EXPECT_GT(twins.size(), 60u);
  EXPECT_LT(twins.size(), 540u);
  // BINARY texts (numbers made texts): every twin is listed, and those
  // differing in ASCII case too.
  const std::vector<int64_t> by_c = RowidsSharingKeys(conn, "SELECT rowid, c FROM t");
  EXPECT_TRUE(std::ranges::includes(by_c, engine("y.c IS x.c")));
  EXPECT_EQ(by_c, engine("y.c IS x.c COLLATE NOCASE"));
  EXPECT_THROW(RowidsSharingKeys(conn, "SELECT rowid, d FROM t"), DatabaseError);
}

// Rows grouped by their keys' exact values: a group's rows hold the same
// values as its first row, class and bytes (1, 1.0 and '1' apart, letter cases
// apart, a NULL apart from ''), and no two groups hold the same; past the
// most groups wanted, nothing.
TEST(WorkDatabaseTest, RowsGroupedByExactKeysHoldTheSameValues) {
  Connection conn;
  FillAtRandom(conn, "CREATE TABLE t (a, b COLLATE NOCASE)", 2, 2000, 5);
  const std::string sql = "SELECT rowid, a, b FROM t WHERE rowid % 7 <> 3";
  const ExactKeyScan scan = GroupRowsByExactKey(conn, sql, 1000);
  ASSERT_FALSE(scan.too_many);
  const ExactKeyGroups& g = scan.groups;
  const RecordSet rows = conn.QueryNative(
      "SELECT rowid, typeof(a) || hex(a) || '/' || typeof(b) || hex(b) FROM t WHERE rowid % 7 <> "
      "3");
  ASSERT_EQ(g.rowids.size(), static_cast<size_t>(rows.RecordCount()));
  std::map<int64_t, std::string> value_of;
  for (int64_t r = 0; r < rows.RecordCount(); ++r)
    value_of[rows.At(r, 0).AsInteger()] = rows.TextAt(r, 1);
  std::set<std::string> firsts;
  for (int64_t first : g.first) firsts.insert(value_of.at(first));
  EXPECT_EQ(firsts.size(), g.first.size());
  EXPECT_GT(g.first.size(), 150u);  // past the table's first sizes
  for (size_t r = 0; r < g.rowids.size(); ++r) {
    EXPECT_EQ(g.rowids[r], rows.At(static_cast<int64_t>(r), 0).AsInteger());
    EXPECT_EQ(value_of.at(g.rowids[r]), value_of.at(g.first.at(g.group[r]))) << g.rowids[r];
  }
  EXPECT_TRUE(GroupRowsByExactKey(conn, sql, 20).too_many);
}

// A table read in two halves at once, on a second connection to its file:
// every row once, the lower rowids on the caller's thread; the key groups
// and the rows sharing keys found as one read finds them. A temporary table
// of the name, which is what the caller's connection reads, is read there.
TEST(WorkDatabaseTest, TableReadInHalvesGivesWhatOneReadGives) {
  Connection in_memory, conn;
  FillAtRandom(in_memory, "CREATE TABLE t (a, b COLLATE NOCASE)", 2, 3000, 17);
  const std::string file = ::testing::TempDir() + "halves.db";
  std::filesystem::remove(file);
  in_memory.ExecuteNative("VACUUM INTO '" + file + "'");
  conn.Open(file);
  const std::string range = " WHERE rowid BETWEEN ?1 AND ?2";
  auto read = [&](const std::string& sql) {
    std::vector<int64_t> seen[2];
    ScanInHalves(
        conn, "t", sql + range,
        [&](int half, sqlite3_stmt* st) {
          seen[half].push_back(sqlite3_column_int64(st, 0));
          return true;
        },
        0);
    return std::make_pair(seen[0], seen[1]);
  };
  const auto [lower, upper] = read("SELECT rowid FROM t");
  ASSERT_FALSE(lower.empty());
  if (std::thread::hardware_concurrency() > 1) {
    ASSERT_FALSE(upper.empty());
  }
  std::vector<int64_t> all = lower;
  all.insert(all.end(), upper.begin(), upper.end());
  EXPECT_TRUE(std::ranges::is_sorted(all));
  EXPECT_EQ(std::set<int64_t>(all.begin(), all.end()).size(), 3000u);

  const int64_t least = std::exchange(LeastRowsToHalve(), 0);
  const ExactKeyScan halves =
      GroupRowsByExactKey(conn, "SELECT rowid, a, b FROM t" + range, 1000, "t");
  const ExactKeyScan whole = GroupRowsByExactKey(conn, "SELECT rowid, a, b FROM t", 1000);
  EXPECT_EQ(halves.groups.first, whole.groups.first);
  EXPECT_EQ(halves.groups.rowids, whole.groups.rowids);
  EXPECT_EQ(halves.groups.group, whole.groups.group);
  EXPECT_TRUE(GroupRowsByExactKey(conn, "SELECT rowid, a, b FROM t" + range, 20, "t").too_many);
  EXPECT_EQ(RowidsSharingKeys(conn, "SELECT rowid, a, b FROM t" + range, "t"),
            RowidsSharingKeys(conn, "SELECT rowid, a, b FROM t"));
  LeastRowsToHalve() = least;
  // Rowids as far apart as rowids go.
  conn.ExecuteNative(
      "INSERT INTO t (rowid, a, b) VALUES (-9223372036854775808, 1, 2), (9223372036854775807, 3, "
      "4)");
  const auto [far_lower, far_upper] = read("SELECT rowid FROM t");
  EXPECT_EQ(far_lower.size() + far_upper.size(), 3002u);
  EXPECT_EQ(far_lower.front(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ((far_upper.empty() ? far_lower : far_upper).back(),
            std::numeric_limits<int64_t>::max());
  {
    // Another program waiting to commit holds new readers of the file off
    // until this read ends: the caller's connection reads both halves.
    Transaction reading(conn);
    conn.QueryValue("SELECT count(*) FROM t");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO t VALUES (5, 6)", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_BUSY);
    const auto [held_lower, held_upper] = read("SELECT rowid FROM t");
    EXPECT_EQ(held_lower.size() + held_upper.size(), 3002u);
    sqlite3_close_v2(other);
    reading.Commit();
  }
  // A failure in either half ends the read and is what it throws; the
  // connection reads on afterwards.
  for (int failing : {0, 1}) {
    EXPECT_THROW(ScanInHalves(
                     conn, "t", "SELECT rowid FROM t" + range,
                     [&](int half, sqlite3_stmt*) -> bool {
                       if (half == failing)
                         throw std::runtime_error("half " + std::to_string(half));
                       return true;
                     },
                     0),
                 std::runtime_error);
  }
  EXPECT_EQ(conn.QueryValue("SELECT count(*) FROM t").AsInteger(), 3002);

  conn.ExecuteNative("CREATE TEMP TABLE t AS SELECT rowid AS r, * FROM main.t WHERE rowid % 3 = 0");
  const auto [own_lower, own_upper] = read("SELECT r FROM t");
  EXPECT_EQ(own_lower.size(), 1000u);
  EXPECT_TRUE(own_upper.empty());
}

// The program's case-blind comparison answers as the engine's own, value for
// value, and an index it builds is in order for a program without it.
TEST(WorkDatabaseTest, CaseBlindComparisonIsTheEnginesOwn) {
  const std::string alphabet("\0aAzZmM@[`{\x80\xC3\xA9 -", 16);
  std::mt19937 random(7);
  auto text = [&](size_t size) {
    std::string s;
    for (size_t i = 0; i < size; ++i) s += alphabet[random() % alphabet.size()];
    return s;
  };
  std::vector<std::string> texts;
  for (int i = 0; i < 20000; ++i) {
    const std::string a = text(random() % 24);
    std::string b = a.substr(0, random() % (a.size() + 1)) + text(random() % 4);
    if (!b.empty() && random() % 2)
      b[random() % b.size()] ^= 0x20;  // the other case, or not a letter
    const int size = static_cast<int>(std::min(a.size(), b.size()));
    int expected = sqlite3_strnicmp(a.data(), b.data(), size);
    if (expected == 0) expected = static_cast<int>(a.size()) - static_cast<int>(b.size());
    ASSERT_EQ(NoCaseCompare(nullptr, static_cast<int>(a.size()), a.data(),
                            static_cast<int>(b.size()), b.data()),
              expected)
        << "[" << a << "] [" << b << "]";
    texts.push_back(a);
  }
  EXPECT_EQ(NoCaseCompare(nullptr, 0, nullptr, 0, "x"), -1);
  EXPECT_EQ(NoCaseCompare(nullptr, 0, "x", 0, nullptr), 1);

  TempDataDir dir;
  const std::string file = (dir.dir() / "nocase.db").string();
  {
    Connection conn;
    conn.Create(file);
    conn.ExecuteNative("CREATE TABLE t (v TEXT COLLATE NOCASE)");
    Transaction tx(conn);
    Inserter insert(conn, "t", {"v"});
    for (const std::string& t : texts) {
      insert.Bind(0, Value::Text(t));
      insert.Step();
    }
    conn.ExecuteNative("CREATE INDEX t_v ON t (v)");
    tx.Commit();
  }
  sqlite3* plain = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(plain, "PRAGMA integrity_check", -1, &check, nullptr);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  sqlite3_finalize(check);
  sqlite3_close(plain);
}

TEST(WorkDatabaseTest, ReferenceValuesAreValidAndFitTheWorkbookColumnsThatCarryThem) {
  Connection conn;
  OpenTestWorkDb(conn);
  for (const std::string& cas :
       QueryLines(conn, "SELECT CAS FROM MT_ANALYTE WHERE CAS NOT LIKE 'NA%'"))
    EXPECT_TRUE(CasCheckDigitOk(cas)) << cas;
  EXPECT_FALSE(CasCheckDigitOk("71-43-3"));
  // A value copied from a reference list into a workbook must pass the data-type
  // stage, or the check that compares it could never be satisfied.
  for (const auto& c : CaseTable("carried_values.txt")) {
    const Value size = conn.QueryValue(
        "SELECT FIELD_SIZE FROM MT_VBSTRUCTURE WHERE TABLE_NAME = ?1 AND FIELD_NAME = ?2 AND "
        "FIELD_TYPE = 200",
        {Value::Text(c[1]), Value::Text(c[2])});
    ASSERT_TRUE(size.IsNumber()) << c[1] << "." << c[2];
    for (const std::string& v : QueryLines(conn, c[0]))
      EXPECT_LE(Utf8Length(v), size.ToDouble()) << c[2] << ": " << v;
  }
}

TEST(UpdateDatabaseTest, HoldsTheReferenceTablesAsTheWorkDatabaseHasThem) {
  Connection update, work;
  update.OpenInMemory();
  InstallUpdateDatabase(update);
  OpenTestWorkDb(work);
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

using Rows = std::vector<std::vector<Value>>;

// Rows handed over as a file's table would hand them; `fail_after` rows are
// read before the read fails.
class FakeRows : public TableRows {
 public:
  FakeRows(std::vector<SourceColumn> columns, Rows rows, int fail_after = -1)
      : columns_(std::move(columns)), rows_(std::move(rows)), fail_after_(fail_after) {}
  const std::vector<SourceColumn>& columns() const override { return columns_; }
  bool Next(std::vector<Value>& row) override {
    if (static_cast<int>(next_) == fail_after_) throw Error(3343, "page 9 is damaged");
    if (next_ == rows_.size()) return false;
    row = rows_[next_++];
    return true;
  }

 private:
  std::vector<SourceColumn> columns_;
  Rows rows_;
  size_t next_ = 0;
  int fail_after_;
};

Value T(const char* s) { return Value::Text(s); }
Value I(int64_t v) { return Value::Integer(v); }

const std::vector<SourceColumn> kLabColumns = {{"LAB", SourceKind::kInteger},
                                               {"ALIAS", SourceKind::kText},
                                               {"NAME", SourceKind::kText},
                                               {"NOFORMAT", SourceKind::kText}};
// Laboratories numbered `labs`, of one alias and name, read until `fail_after`.
FakeRows Labs(const std::vector<Value>& labs, int fail_after = -1) {
  Rows rows;
  for (const Value& lab : labs) rows.push_back({lab, T("A"), T("B"), T("B")});
  return FakeRows(kLabColumns, rows, fail_after);
}
FakeRows Site(Value latdd) {
  return FakeRows({{"SITE"}, {"LATDD"}, {"LATMM"}, {"LONGDD"}, {"LONGMM"}},
                  {{T("1234567"), latdd, I(1), I(2), I(3)}});
}

class ReferenceTablesTest : public ::testing::Test {
 public:
  void SetUp() override { OpenTestWorkDb(work); }
  // The shipped table structures, with `change` applied to their rows.
  FakeRows Structures(const std::function<void(Rows&)>& change) {
    RecordSet rs = work.QueryNative("SELECT * FROM MT_VBSTRUCTURE");
    std::vector<SourceColumn> columns;
    for (const Field& f : rs.fields()) columns.push_back({f.name, SourceKind::kText});
    Rows rows;
    for (int64_t r = 0; r < rs.RecordCount(); ++r) {
      rows.emplace_back();
      for (size_t f = 0; f < rs.FieldCount(); ++f) rows.back().push_back(rs.At(r, f));
    }
    change(rows);
    return FakeRows(columns, rows);
  }
  Connection work;
};

TEST_F(ReferenceTablesTest, RefusedTableKeepsTheOldOneWhole) {
  const std::string range = ", which is not a whole number from -2147483648 to 2147483647";
  auto lab_columns = kLabColumns;
  lab_columns[2].kind = SourceKind::kBinary;
  struct {
    const char* table;
    FakeRows rows;
    std::string why;
  } cases[] = {
      {"MT_LAB", FakeRows({kLabColumns.begin(), kLabColumns.end() - 1}, {}),
       "it lacks the column NOFORMAT"},
      {"MT_LAB", FakeRows(lab_columns, {}), "its column NAME holds binary data"},
      {"MT_LAB", Labs({I(7), T("abc")}), "row 2: LAB holds \"abc\"" + range},
      {"mt_lab", Labs({Value::Real(1.5)}), "row 1: LAB holds 1.5" + range},
      {"MT_LAB", Labs({I(3000000000)}), "row 1: LAB holds 3000000000" + range},
      {"MT_LAB", Labs({Value()}), "row 1: LAB is empty"},
      {"MT_LAB", Labs({I(7), I(7)}),
       "row 2: refused by the table's rules (UNIQUE constraint failed: MT_LAB.LAB)"},
      {"T_SITE", Site(T("north")), "row 1: LATDD holds \"north\", which is not a number"},
      {"MT_LAB", Labs({I(7)}, 1), "the file could not be read: page 9 is damaged"},
      {"MT_VBSTRUCTURE", Structures([](Rows& r) { r.clear(); }),
       "it lacks the workbook column(s) TEMP_1.FAC_ID, TEMP_1.POINT_ID, TEMP_1.LAT_DD, "
       "TEMP_1.LAT_MM, TEMP_1.LAT_SS and 62 more, which the import reads"},
      {"MT_VBSTRUCTURE", Structures([](Rows& r) { r.push_back(r.front()); }),
       "it lists the workbook column(s) TEMP_1.FAC_ID twice"},
      {"MT_VBSTRUCTURE", Structures([](Rows& r) {
         for (auto& row : r)
           if (row[1] == T("CONC")) row[2] = I(99);
       }),
       "the workbook column(s) TEMP_5.CONC have a FIELD_TYPE other than 3, 4, 7 or 200, which "
       "the import cannot convert"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string before = DumpDatabase(work);
    ReplaceOutcome out = ReplaceReferenceTable(work, c.table, c.rows);
    EXPECT_FALSE(out.replaced);
    EXPECT_EQ(out.why, c.why);
    EXPECT_EQ(DumpDatabase(work), before);
  }
}

TEST_F(ReferenceTablesTest, RowsGoIntoTheProgramsOwnLayoutOfTheTable) {
  const std::string schema =
      "SELECT group_concat(sql, ';') FROM sqlite_master WHERE tbl_name = 'MT_LAB'";
  const Value schema_before = work.QueryValue(schema);
  // Names in another letter case, a column the program lacks, numbers as text.
  FakeRows rows({{"lab"}, {"Name"}, {"alias"}, {"NoFormat"}, {"REMARK"}},
                {{T(" 12 "), T("Lab Twelve"), T("L12"), T("LABTWELVE"), T("x")},
                 {Value::Real(13.0), T("Lab 13"), T("L13"), T("LAB13"), Value()}});
  ReplaceOutcome out = ReplaceReferenceTable(work, "mt_lab", rows);
  EXPECT_TRUE(out.replaced) << out.why;
  EXPECT_EQ(out.rows, 2);
  EXPECT_EQ(work.QueryValue(schema), schema_before);
  EXPECT_EQ(work.QueryValue("SELECT group_concat(typeof(LAB) || ':' || NAME) FROM MT_LAB "
                            "WHERE NOFORMAT = 'labtwelve' OR ALIAS = 'l13'")
                .ToDisplay(),
            "integer:Lab Twelve,integer:Lab 13");
}

}  // namespace
}  // namespace sorvane::testing
