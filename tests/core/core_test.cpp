// Dates from serials and ticks, the text helpers, the conversion of workbook
// text to each field type (a case table), and the sort a heading click asks for.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "core/convert.h"
#include "core/errors.h"
#include "core/forked_work.h"
#include "core/paths.h"
#include "core/record_set.h"
#include "core/text.h"
#include "core/value.h"
#include "support/case_table.h"

namespace sorvane {
namespace {

TEST(ValueTest, DatesFromSpreadsheetSerialsAndTicks) {
  EXPECT_EQ(Date::FromSerial(37437)->ToShortDate(), "6/30/2002");
  EXPECT_EQ(Date::FromSerial(37437.5)->ToDisplay(), "6/30/2002 12:00:00");
  EXPECT_EQ(Date::FromSerial(35975, true)->ToShortDate(), "6/30/2002");  // 1904 system
  EXPECT_FALSE(Date::FromSerial(1e12));
  EXPECT_EQ(Date::FromIso("2002-06-30 01:02:03")->ToIsoT(), "2002-06-30T01:02:03");
  EXPECT_EQ(Date::FromTicks(Date::FromParts(1999, 12, 31, 23, 59, 59)->Ticks()).ToIso(),
            "1999-12-31 23:59:59");
}

// What printf's "%.15g" writes, with the exponent as a spreadsheet shows it
// ("1e+020" -> "1E+20").
std::string Printf15g(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.15g", v);
  std::string s = b;
  const size_t e = s.find('e');
  if (e == std::string::npos) return s;
  std::string exp = s.substr(e + 2);
  while (exp.size() > 2 && exp[0] == '0') exp.erase(0, 1);
  return s.substr(0, e) + "E" + s[e + 1] + exp;
}

TEST(ValueTest, NumbersShowInPrintfsFifteenDigitGeneralForm) {
  std::mt19937_64 rng(7);
  std::vector<double> values = {DBL_MIN, DBL_MAX, DBL_TRUE_MIN, 1e15, 1e-5, 1e-4, 0.1, 1.0 / 3};
  for (int i = 0; i < 200000; ++i) {
    uint64_t bits = rng();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d) && d != 0) values.push_back(d);
    const auto k = static_cast<int64_t>(rng() % 2000000000000000000) - 1000000000000000000;
    values.push_back(static_cast<double>(k) / std::pow(10.0, static_cast<int>(rng() % 40)));
    values.push_back(std::pow(10.0, static_cast<int>(rng() % 60) - 30) *
                     (1 + static_cast<double>(rng() % 1000) / 1000));
  }
  // Around the edges of the fixed form and of 15 digits.
  for (const double edge : {1e15, 1e14, 1e-4, 0.1, 999999999999999.0, 9.99999999999999e-5}) {
    double up = edge, down = edge;
    for (int i = 0; i < 50; ++i) {
      values.push_back(up = std::nextafter(up, 1e300));
      values.push_back(down = std::nextafter(down, 0));
    }
  }
  int wrong = 0;
  for (const double v : values) {
    if (v == 0 || FormatGeneral(v) == Printf15g(v)) continue;
    if (++wrong <= 5) ADD_FAILURE() << Printf15g(v) << " shown as " << FormatGeneral(v);
  }
  EXPECT_EQ(wrong, 0);
}

TEST(TextTest, NormalisingHelpers) {
  EXPECT_EQ(UpperCase("caf\xC3\xA9 mw-1"), "CAF\xC3\x89 MW-1");
  EXPECT_EQ(SqlQuote("O'Brien"), "'O''Brien'");
  EXPECT_EQ(Utf8Length("\xC3\xA9t\xC3\xA9"), 3u);
  EXPECT_EQ(Utf8Prefix("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
  EXPECT_TRUE(EqualsNoCase("caf\xC3\xA9 mw-1", "CAF\xC3\x89 MW-1"));
  EXPECT_FALSE(EqualsNoCase("caf\xC3\xA9", "cafe\xCC"));
  EXPECT_FALSE(EqualsNoCase("\xC3\xB7", "\xC3\x97"));  // division and multiplication signs
  EXPECT_EQ(ValidUtf8("caf\xC3\xA9 \xF0\x9F\x92\xA7"), "caf\xC3\xA9 \xF0\x9F\x92\xA7");
  // A Latin-1 byte, an overlong slash, an encoded surrogate and a cut sequence.
  EXPECT_EQ(ValidUtf8("\xE9-\xC0\xAF-\xED\xA0\x80-\xE2\x82"),
            "\xEF\xBF\xBD-\xEF\xBF\xBD\xEF\xBF\xBD-\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD-"
            "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(ConvertTest, WorkbookTextBecomesAValueOfTheFieldsTypeOrNone) {
  const std::map<std::string, int> types = {{"integer", kTypeInteger},
                                            {"single", kTypeSingle},
                                            {"date", kTypeDate},
                                            {"text", kTypeVarChar},
                                            {"other", 11}};
  for (const auto& c : testing::CaseTable("field_texts.txt")) {
    const std::optional<Value> v = ConvertText(c[0], types.at(c[1]), std::stoi(c[2]));
    const std::string got = !v               ? "-"
                            : v->IsMissing() ? "(empty)"
                            : c[1] == "date" ? v->AsDate().ToIso()
                                             : v->ToDisplay();
    EXPECT_EQ(got, c[3]) << c[1] << " '" << c[0] << "'";
    // The validation's tests agree with the conversion.
    const bool converts = c[3] != "-";
    const auto validates = c[1] == "integer"  ? IsIntegerText
                           : c[1] == "single" ? IsSingleText
                           : c[1] == "date"   ? IsDateText
                                              : nullptr;
    if (validates != nullptr) {
      EXPECT_EQ(validates(c[0]), converts) << c[0];
    }
  }
}

RecordSet Wells() {
  RecordSet rs;
  rs.AppendField("POINT_ID", 200, 10);
  rs.AppendField("TOC", 4, 0);
  rs.Open();
  const std::pair<const char*, std::optional<double>> rows[] = {
      {"mw-2", 12.5}, {"MW-1", std::nullopt}, {"MW-3", 3.0}, {"MW-10", 12.5}};
  for (const auto& [id, toc] : rows) {
    rs.AddNew();
    rs.SetValue("POINT_ID", Value::Text(id));
    rs.SetValue("TOC", toc ? Value::Real(*toc) : Value());
  }
  rs.MoveFirst();
  return rs;
}

std::vector<std::string> Column(const RecordSet& rs, size_t f) {
  std::vector<std::string> out;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) out.push_back(rs.At(r, f).ToDisplay());
  return out;
}

TEST(RecordSetTest, SortIsAscendingStableMissingFirstAndIgnoresCaseAlsoAfterADrop) {
  RecordSet rs = Wells();
  rs.Sort("TOC");
  EXPECT_EQ(Column(rs, 0), (std::vector<std::string>{"MW-1", "MW-3", "mw-2", "MW-10"}));
  rs.Sort("POINT_ID");
  rs.Sort("POINT_ID");  // sorting twice gives the same ascending order
  EXPECT_EQ(Column(rs, 0), (std::vector<std::string>{"MW-1", "MW-10", "mw-2", "MW-3"}));
  rs.Sort("");
  EXPECT_EQ(Column(rs, 0), (std::vector<std::string>{"mw-2", "MW-1", "MW-3", "MW-10"}));
  EXPECT_THROW(rs.Sort("NOPE"), Error);

  // Dropped values read missing, and the field takes new ones.
  rs.DropValues(1);
  EXPECT_EQ(Column(rs, 1), (std::vector<std::string>{"", "", "", ""}));
  EXPECT_EQ(Column(rs, 0), (std::vector<std::string>{"mw-2", "MW-1", "MW-3", "MW-10"}));
  rs.AddNew();
  rs.SetValue("TOC", Value::Real(7));
  rs.SetPosition(1);
  rs.SetValue("TOC", Value::Real(2));
  EXPECT_EQ(Column(rs, 1), (std::vector<std::string>{"", "2", "", "", "7"}));
  rs.Sort("TOC");
  EXPECT_EQ(Column(rs, 1), (std::vector<std::string>{"", "", "", "2", "7"}));
}

// Copies share their columns until one of them writes: whatever either does
// afterwards, the other reads what it held.
TEST(RecordSetTest, ACopyAndItsOriginalNeverSeeEachOthersWrites) {
  const std::vector<std::string> ids{"mw-2", "MW-1", "MW-3", "MW-10"};
  RecordSet original = Wells();
  RecordSet less = original.WithoutLastField();  // a query's rows less the reader's column
  ASSERT_EQ(less.FieldCount(), 1u);
  RecordSet copy = original;
  original.SetPosition(0);
  original.SetValue("POINT_ID", Value::Text("MW-99"));
  original.AddNew();
  EXPECT_EQ(Column(less, 0), ids);
  EXPECT_EQ(Column(copy, 0), ids);
  EXPECT_EQ(copy.RecordCount(), 4);
  less.SetPosition(1);
  less.SetText(0, "MW-7");
  copy.DropValues(0);
  copy.Clear();
  EXPECT_EQ(Column(original, 0), (std::vector<std::string>{"MW-99", "MW-1", "MW-3", "MW-10", ""}));
  EXPECT_EQ(Column(original, 1), (std::vector<std::string>{"12.5", "", "3", "12.5", ""}));
  EXPECT_EQ(Column(less, 0), (std::vector<std::string>{"mw-2", "MW-7", "MW-3", "MW-10"}));
  EXPECT_EQ(copy.RecordCount(), 0);
  // A text longer than a record set holds is refused, and the cell keeps its value.
  original.SetPosition(0);
  EXPECT_THROW(original.SetValue(1, Value::Text(std::string(size_t{1} << 24, 'x'))),
               ValueTooLongError);
  EXPECT_EQ(original.At(0, 1).ToDisplay(), "12.5");
}

// Texts of every length, NULs and letters of two bytes included, read back as
// stored: kept in their cell or beside it, copied from a row of the same field
// while rows are added (its storage may move meanwhile), written over.
TEST(RecordSetTest, TextsOfEveryLengthReadBackAsStored) {
  std::vector<std::string> texts = {std::string("a\0b", 3), "\xC3\xA9t\xC3\xA9", "MW-1234"};
  for (size_t n = 0; n <= 17; ++n) texts.push_back(std::string(n, static_cast<char>('a' + n)));
  RecordSet rs;
  rs.AppendField("T", kTypeVarChar, 0);
  rs.Open();
  for (const std::string& t : texts) {
    rs.AddNew();
    rs.SetText(0, t);
  }
  for (size_t r = texts.size(); r-- > 0;) {
    rs.AddNew();
    rs.SetText(0, rs.TextAt(static_cast<int64_t>(r), 0));
    texts.push_back(texts[r]);
  }
  rs.SetTextAt(0, 0, texts[20]);  // long over short, and short over long
  rs.SetTextAt(20, 0, texts[0]);
  std::swap(texts[0], texts[20]);
  for (size_t r = 0; r < texts.size(); ++r) {
    EXPECT_EQ(rs.TextAt(static_cast<int64_t>(r), 0), texts[r]) << r;
    EXPECT_EQ(rs.At(static_cast<int64_t>(r), 0), Value::Text(texts[r])) << r;
  }
}

// A run started without HOME (by cron or a service manager) works in the same
// data folder as one from the person's terminal, not in a "Sorvane" folder
// beside wherever it was started.
// Work done in a forked copy: what it returns and its errno come back; a stop
// kills it; a copy that dies says how.
TEST(ForkedWorkTest, ResultsComeBackAStopKillsAndADeathIsNamed) {
  // What it prints goes nowhere.
  int err[2];
  ASSERT_EQ(pipe(err), 0);
  const int stderr_was = dup(STDERR_FILENO);
  dup2(err[1], STDERR_FILENO);
  close(err[1]);
  ForkedOutcome done = RunStoppable(
      [] {
        std::fputs("[ERROR] said by a library\n", stderr);
        errno = ENOSPC;
        return 7;
      },
      [] { return false; });
  dup2(stderr_was, STDERR_FILENO);
  close(stderr_was);
  char printed[64];
  EXPECT_EQ(read(err[0], printed, sizeof printed), 0);  // its end: nothing came
  close(err[0]);
  EXPECT_EQ(done.how, ForkedOutcome::How::kDone);
  EXPECT_TRUE(done.in_copy);
  EXPECT_EQ(done.value, 7);
  EXPECT_EQ(done.error, ENOSPC);
  int asked = 0;
  ForkedOutcome stopped = RunStoppable(
      [] {
        for (;;) pause();
        return 0;
      },
      [&] { return ++asked == 3; });
  EXPECT_EQ(stopped.how, ForkedOutcome::How::kStopped);
  EXPECT_EQ(asked, 3);
  ForkedOutcome lost = RunStoppable(
      [] {
        raise(SIGKILL);
        return 0;
      },
      [] { return false; });
  EXPECT_EQ(lost.how, ForkedOutcome::How::kLost);
  EXPECT_EQ(lost.lost, "the writer was stopped by signal 9 (Killed)");
  // A copy that waits for ever, as one made while another thread held a lock
  // may, gives way to the work done here.
  const pid_t program = getpid();
  ForkedOutcome stalled = RunStoppable(
      [&] {
        while (getpid() != program) pause();
        return 5;
      },
      [] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(stalled.how, ForkedOutcome::How::kDone);
  EXPECT_FALSE(stalled.in_copy);
  EXPECT_EQ(stalled.value, 5);
}

TEST(PathsTest, WithoutHomeTheDataFolderIsInTheUsersHomeFolder) {
  std::map<std::string, std::optional<std::string>> kept;
  for (const char* name : {"HOME", "SORVANE_HOME"}) {
    const char* value = std::getenv(name);
    kept[name] = value ? std::optional<std::string>(value) : std::nullopt;
    unsetenv(name);
  }
  const std::filesystem::path data_dir = Paths::Default().data_dir;
  for (const auto& [name, value] : kept)
    if (value) setenv(name.c_str(), value->c_str(), 1);
  const passwd* user = getpwuid(getuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(data_dir, std::filesystem::path(user->pw_dir) / "Sorvane");
}

}  // namespace
}  // namespace sorvane
