// The Access reader: real files compared with what the command-line export of
// mdbtools printed for them (tests/data/access/golden.tsv, made by
// make_golden.py beside it), dates the export gets wrong, and the limits that
// keep a reading child from harming the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "accessfile/access_file.h"
#include "accessfile/access_source.h"
#include "core/errors.h"
#include "support/case_table.h"
#include "support/comma_decimal_locale.h"
#include "support/work_db.h"

namespace sorvane::testing {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

fs::path Corpus(const std::string& name) { return fs::path(SORVANE_CORPUS_DIR) / "access" / name; }

struct GoldenTable {
  int64_t rows = -1;
  std::map<int64_t, std::map<std::string, std::string>> values;  // row -> column -> printed
};

std::map<std::string, std::map<std::string, GoldenTable>> LoadGolden() {
  std::map<std::string, std::map<std::string, GoldenTable>> golden;
  std::ifstream in(SourcePath("tests/data/access/golden.tsv"));
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> f = SplitCaseLine(line);
    GoldenTable& t = golden[f[0]][f[1]];
    if (f[2] == "#")
      t.rows = std::stoll(f[3]);
    else
      t.values[std::stoll(f[2])][f[3]] = f.size() > 4 ? f[4] : "";
  }
  return golden;
}

// Whether the reader's value is the one the export printed.
bool SameAsPrinted(const Value& v, const std::string& printed) {
  double d = 0;
  switch (v.kind()) {
    case Value::Kind::kMissing:
      return printed.empty();
    case Value::Kind::kText:
      return v.AsText() == printed;
    case Value::Kind::kDate:
      return v.AsDate().ToIso() == printed;
    default:
      std::from_chars(printed.data(), printed.data() + printed.size(), d);
      return std::fabs(v.ToDouble() - d) <= 1e-6 * std::max(1.0, std::fabs(d));
  }
}

// Also where the desktop writes numbers with a decimal comma: the library
// hands its values over as printed texts.
TEST(AccessReader, EveryTableOfTheCorpusIsReadWholeAsTheExportPrintsIt) {
  if (!fs::exists(Corpus("nwind.mdb"))) GTEST_SKIP() << "no corpus beside the repository";
  CommaDecimalLocale comma;
  for (const auto& [file, tables] : LoadGolden()) {
    SCOPED_TRACE(file);
    auto source = OpenAccessSource(Corpus(file));
    std::set<std::string> expected_names, names;
    for (const auto& [table, golden] : tables) expected_names.insert(table);
    for (const std::string& name : source->TableNames()) names.insert(name);
    EXPECT_EQ(names, expected_names);  // nwind's "Umsätze" among them
    for (const auto& [table, golden] : tables) {
      SCOPED_TRACE(table);
      auto rows = source->OpenTable(table);
      ASSERT_TRUE(rows);
      std::vector<std::vector<Value>> all;
      for (std::vector<Value> row; rows->Next(row);) all.push_back(row);
      ASSERT_EQ(static_cast<int64_t>(all.size()), golden.rows);
      for (const auto& [n, sample] : golden.values) {
        for (const auto& [column, printed] : sample) {
          size_t c = 0;
          while (c < rows->columns().size() && rows->columns()[c].name != column) ++c;
          ASSERT_LT(c, rows->columns().size()) << column;
          EXPECT_TRUE(SameAsPrinted(all[n][c], printed))
              << "row " << n << " " << column << ": " << all[n][c].ToDisplay() << " vs " << printed;
        }
      }
    }
  }
}

TEST(AccessReader, DatesAreDecodedFromTheStoredNumberOfDays) {
  // Whole days before and after 1899-12-30, and the time counting forwards
  // from the day even when the day lies before it.
  EXPECT_EQ(AccessDate(-1.25)->ToIso(), "1899-12-29 06:00:00");
  EXPECT_EQ(AccessDate(-0.5)->ToIso(), "1899-12-30 12:00:00");
  EXPECT_EQ(AccessDate(2958465.5)->ToIso(), "9999-12-31 12:00:00");
  EXPECT_FALSE(AccessDate(2958466));
  EXPECT_FALSE(AccessDate(NAN));

  if (!fs::exists(Corpus("DateTestDatabase.mdb"))) GTEST_SKIP() << "no corpus";
  // The file's true values where the export prints 1900-01-00.
  const std::map<int64_t, std::vector<std::string>> truth = {
      {2, {"9999-01-01", "9999-01-01", "9999-01-01"}},
      {3, {"1898-01-01", "1899-01-01", "1900-01-01"}},
      {4, {"0632-01-01", "0633-01-01", "0634-01-01"}}};
  auto rows = OpenAccessSource(Corpus("DateTestDatabase.mdb"))->OpenTable("datetest");
  ASSERT_TRUE(rows);
  int checked = 0;
  for (std::vector<Value> row; rows->Next(row);) {
    if (!truth.count(row[0].AsInteger())) continue;
    for (int c = 0; c < 3; ++c, ++checked)
      EXPECT_EQ(row[1 + c].AsDate().ToIso(), truth.at(row[0].AsInteger())[c] + " 00:00:00");
  }
  EXPECT_EQ(checked, 9);
}

// Whatever the reading child does, the program gets an Error with the reason.
TEST(AccessReader, AChildThatMisbehavesIsStoppedWithTheReason) {
  const ChildLimits limits{.time = std::chrono::milliseconds(1500),
                           .memory = uint64_t{256} << 20,
                           .output = uint64_t{1} << 20};
  const std::pair<std::function<void(int)>, const char*> cases[] = {
      {[](int) {
         for (;;) pause();
       },
       "took longer than 2 seconds and was stopped"},
      {[](int) { raise(SIGKILL); }, "stopped by signal 9 (Killed)"},
      {[](int) {
         fprintf(stderr, "warning\npage 7 lies beyond the end\n");
         _exit(3);
       },
       "ended with status 3; it printed: page 7 lies beyond the end"},
      {[](int fd) { WriteAll(fd, "garbage in the pipe"); }, "not a message"},
      {[](int fd) {
         for (;;) WriteAll(fd, EncodeFrame(FrameTag::kRow, std::string(4096, 'x')));
       },
       "gives more than 1 MB of data"},
      {[](int) { throw Error(3343, "page 9 is damaged"); }, "page 9 is damaged"},
      {[](int) {
         // Address space, untouched: its limit trips at once, even where
         // writing the memory is slow (a thread-checking build under load).
         std::vector<std::unique_ptr<char[]>> hog;
         for (;;) hog.emplace_back(new char[size_t{16} << 20]);
       },
       ""},  // ends within its memory, well before its time
  };
  for (const auto& [work, reason] : cases) {
    SCOPED_TRACE(reason);
    LimitedChild child(limits, work);
    try {
      for (;;) child.Next();
    } catch (const Error& e) {
      EXPECT_THAT(e.description(), HasSubstr(reason));
      if (*reason == '\0') {
        EXPECT_THAT(e.description(), ::testing::Not(HasSubstr("longer than")));
      }
    }
  }
  // A Ctrl-C or termination request reaches the reader too; the program, not
  // the reader, acts on it.
  LimitedChild child(limits, [](int fd) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) raise(sig);
    WriteAll(fd, EncodeFrame(FrameTag::kRow, "row") + EncodeFrame(FrameTag::kEnd, ""));
  });
  EXPECT_EQ(child.Next().payload, "row");
}

}  // namespace
}  // namespace sorvane::testing
