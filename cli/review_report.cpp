#include "review_report.h"

#include <ostream>
#include <set>
#include <string_view>
#include <utility>

#include "checks/ModChecks.h"
#include "console_ui.h"
#include "core/text.h"
#include "json_writer.h"

namespace sorvane::cli {

namespace {

std::string Records(size_t n) { return std::to_string(n) + (n == 1 ? " record" : " records"); }

}  // namespace

int TableReport::FailedCount() const {
  int failed = 0;
  for (const CheckReport& c : checks) failed += c.passed ? 0 : 1;
  return failed;
}

CheckReport ReportCheck(int index, const clsReviewObject& check,
                        std::shared_ptr<const RecordSet> problems) {
  CheckReport r;
  r.index = index;
  r.severity = check.Required;
  r.passed = check.Status;
  r.text = check.Status ? check.PassString : check.FailString;
  r.rule = check.ToolTip;
  if (problems && !check.Status) {
    for (const Field& f : problems->fields()) r.columns.push_back(f.name);
    r.rows = std::move(problems);
  }
  return r;
}

void WritePlaces(JsonWriter& json, std::span<const Place> places) {
  json.BeginArray();
  for (const Place& place : places) {
    json.BeginObject();
    json.Key("workbook");
    json.String(place.workbook.str());
    json.Key("sheet");
    json.String(place.sheet.str());
    json.Key("row");
    json.Integer(place.row);
    json.Key("cells");
    json.BeginArray();
    for (const std::string& letters : place.cells) json.String(letters);
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
}

void WriteReportJson(const ReviewReport& report, std::ostream& out) {
  JsonWriter json(out);
  json.BeginObject();
  json.Key("facility_id");
  json.String(report.facility_id);
  json.Key("review_date");
  if (report.review_date) {
    json.String(*report.review_date);
  } else {
    json.Null();
  }
  json.Key("summary");
  json.String(report.summary);
  json.Key("messages");
  json.BeginArray();
  for (const std::string& m : report.messages) json.String(m);
  json.EndArray();
  json.Key("tables");
  json.BeginArray();
  for (const TableReport& t : report.tables) {
    json.BeginObject();
    json.Key("table");
    json.Integer(t.table);
    json.Key("title");
    json.String(t.title);
    json.Key("status");
    json.Integer(t.status);
    json.Key("label");
    json.String(t.label);
    json.Key("import_problems");
    json.BeginArray();
    for (const ImportProblem& p : t.import_problems) {
      json.BeginObject();
      json.Key("kind");
      json.String(p.kind);
      json.Key("text");
      json.String(p.text);
      json.Key("places");
      WritePlaces(json, p.places);
      json.EndObject();
    }
    json.EndArray();
    json.Key("checks");
    json.BeginArray();
    for (const CheckReport& c : t.checks) {
      json.BeginObject();
      json.Key("index");
      json.Integer(c.index);
      json.Key("severity");
      json.Integer(c.severity);
      json.Key("passed");
      json.Bool(c.passed);
      json.Key("text");
      json.String(c.text);
      json.Key("rule");
      json.String(c.rule);
      json.Key("columns");
      json.BeginArray();
      for (const std::string& name : c.columns) json.String(name);
      json.EndArray();
      json.Key("rows");
      json.BeginArray();
      for (int64_t row = 0; row < c.RowCount(); ++row) {
        json.BeginArray();
        for (size_t j = 0; j < c.rows->FieldCount(); ++j) WriteJsonValue(json, c.rows->At(row, j));
        json.EndArray();
      }
      json.EndArray();
      json.Key("sources");
      json.BeginArray();
      for (size_t i = 0; i < static_cast<size_t>(c.RowCount()); ++i) {
        WritePlaces(json, i < c.sources.size() ? c.sources[i] : std::span<const Place>());
      }
      json.EndArray();
      json.EndObject();
    }
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

namespace {

// Under a failed check, each value the agency's lists hold something near,
// once, the first few of them.
void PrintHints(const std::vector<ListHint>& hints, std::ostream& out) {
  constexpr size_t kShown = 5;
  std::set<std::pair<std::string_view, std::string_view>> seen;
  size_t more = 0;
  for (const ListHint& h : hints) {
    if (h.text.empty() || !seen.emplace(h.value, h.text).second) continue;
    if (seen.size() > kShown) {
      ++more;
      continue;
    }
    out << "      " << ForTerminal(ForReading(h.value, 60) + ": " + h.text) << '\n';
  }
  if (more > 0) out << "      and " << more << " more values the lists hold something near\n";
}

}  // namespace

void PrintImportProblems(const std::vector<ImportProblem>& problems, std::ostream& out) {
  constexpr size_t kShown = 5;
  size_t shown = 0, more = 0;
  for (const ImportProblem& p : problems) {
    if (p.kind == "skipped_row") continue;
    if (shown == kShown) {
      ++more;
      continue;
    }
    ++shown;
    out << "  " << ForTerminal(ForReading(p.text)) << '\n';
  }
  if (more > 0) out << "  and " << more << " more\n";
}

namespace {

// "its sheet Mends lists them", "its sheets Mends to Mends (3) list them".
std::string MendsSheetsSaid(size_t mends) {
  const std::vector<std::string> sheets = MendsSheetNames(mends);
  if (sheets.size() == 1) return "its sheet " + sheets[0] + " lists them";
  return "its sheets " + sheets.front() + " to " + sheets.back() + " list them";
}

}  // namespace

void PrintMended(const MendedCopiesResult& mended, const std::string& dir, std::ostream& out) {
  constexpr size_t kShown = 5;
  std::string as_they_are;
  for (const MendedCopiesResult::Copy& copy : mended.written) {
    if (copy.mends.empty()) {
      as_they_are += (as_they_are.empty() ? "" : ", ") + copy.file.filename().string();
      continue;
    }
    const size_t n = copy.mends.size();
    out << "Mended workbook: " << copy.file.string() << ", " << n << (n == 1 ? " cell" : " cells")
        << " mended (" << MendsSheetsSaid(n) << ")\n";
    for (size_t i = 0; i < n && i < kShown; ++i) {
      const CellMend& m = copy.mends[i];
      out << "  " << ColumnLetters(m.column) << m.row << ", " << m.field << ": "
          << (m.was.empty() ? "empty" : "\"" + ForTerminal(ForReading(m.was, 60)) + "\"") << " now "
          << ForTerminal(ForReading(m.now, 60)) << " (" << m.why << ")\n";
    }
    if (n > kShown) out << "  and " << n - kShown << " more\n";
  }
  if (!as_they_are.empty()) out << "Copied as they are into " << dir << ": " << as_they_are << '\n';
  if (mended.stopped) {
    out << "The mended workbooks were stopped: " << dir
        << " holds only those named above, not a whole set.\n";
  }
}

void PrintCheckVerdicts(const ReviewReport& report, std::ostream& out) {
  for (const TableReport& t : report.tables) {
    if (!t.checked) continue;
    const int failed = t.FailedCount();
    out << "Checks of Table " << t.table << " - " << t.title << ": ";
    if (failed == 0) {
      out << "all " << t.checks.size() << " passed\n";
      continue;
    }
    out << failed << " of " << t.checks.size() << " failed\n";
    for (const CheckReport& c : t.checks) {
      if (c.passed) continue;
      out << "  " << t.table << '.' << c.index << ' ' << c.text << SeverityWording(c.severity)
          << "- " << Records(static_cast<size_t>(c.RowCount())) << '\n';
      PrintHints(c.hints, out);
    }
  }
  // The tally, most urgent first, for a person who scrolls back to it.
  int checks = 0, failed[3] = {0, 0, 0};
  for (const TableReport& t : report.tables) {
    if (!t.checked) continue;
    for (const CheckReport& c : t.checks) {
      ++checks;
      if (!c.passed && c.severity >= 0 && c.severity <= 2) ++failed[c.severity];
    }
  }
  if (checks == 0) return;
  const int all = failed[0] + failed[1] + failed[2];
  out << "Failed checks: " << all << " of " << checks;
  if (all > 0) {
    out << " (" << failed[2] << " must be fixed, " << failed[1] << " probably a problem, "
        << failed[0] << " possibly a problem)";
  }
  out << ".\n";
}

}  // namespace sorvane::cli
