// `sorvane compare BEFORE AFTER [--json]`: what changed between two review
// reports of one facility, as a reviewer asks once the workbooks were mended
// and reviewed again. A problem row is known by the check it failed and its
// values, not by its place (a row added above it moves it); rows with the same
// values are paired in their order, so that of two equal rows one left is one
// fixed and one as before. Per check: the rows before and now, the rows fixed
// and the rows new, each new one with its workbook place; a table's import
// problems likewise, known by their kind and text (a text to which a later
// version adds what to do is the same problem). A table whose checks ran in
// one report only is named and not compared. Exit status 0 when no problem row
// is new, 1 when some are, 2 when a report cannot be read or the reports are
// of different facilities.
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "checks/ModChecks.h"
#include "commands.h"
#include "console_ui.h"
#include "core/errors.h"
#include "core/row_pairing.h"
#include "core/text.h"
#include "json_writer.h"
#include "report_digest.h"
#include "state/run_state.h"

namespace sorvane::cli {
namespace {

constexpr int kImportProblems = -1;  // a table's import problems, among its checks
constexpr size_t kNewRowsShown = 5;

struct CheckChange {
  int table = 0, index = 0, severity = 0;
  std::string text;
  int64_t before = 0, after = 0;
  std::vector<size_t> fixed;  // rows of the check before that are gone, in their order
  std::vector<size_t> added;  // rows of the check now that were not there, in their order
  const CheckDigest* was = nullptr;
  const CheckDigest* now = nullptr;
};

// Of the rows left unpaired, an import problem said with more now than before
// is the same problem: a later version may add to its text what to do ("...
// is not a number. A result below its detection limit is written as ...").
// A row of `longer` (rows ["kind","text"]) whose text is one of `shorter`
// followed by more sentences is paired with it; both lose the rows paired.
void PairSaidMore(const std::vector<std::string>& shorter_rows, std::vector<size_t>& shorter,
                  const std::vector<std::string>& longer_rows, std::vector<size_t>& longer) {
  if (shorter.empty() || longer.empty()) return;
  std::unordered_map<std::string_view, std::vector<size_t>> open;  // latest first
  for (size_t k = shorter.size(); k-- > 0;) {
    const std::string_view row = shorter_rows[shorter[k]];
    if (row.ends_with(".\"]")) open[row.substr(0, row.size() - 2)].push_back(k);
  }
  std::vector<bool> paired(shorter.size(), false);
  std::vector<size_t> left;
  for (size_t row : longer) {
    const std::string_view text = longer_rows[row];
    bool found = false;
    for (size_t p = text.find(". "); p != std::string_view::npos && !found;
         p = text.find(". ", p + 1)) {
      const auto it = open.find(text.substr(0, p + 1));
      if (it == open.end() || it->second.empty()) continue;
      paired[it->second.back()] = true;
      it->second.pop_back();
      found = true;
    }
    if (!found) left.push_back(row);
  }
  longer = std::move(left);
  left.clear();
  for (size_t k = 0; k < shorter.size(); ++k)
    if (!paired[k]) left.push_back(shorter[k]);
  shorter = std::move(left);
}

// Pairs the n-th row of equal values before with the n-th now.
void Pair(CheckChange& c) {
  static const CheckDigest kNone;
  const CheckDigest& was = c.was ? *c.was : kNone;
  const CheckDigest& now = c.now ? *c.now : kNone;
  c.before = static_cast<int64_t>(was.rows.size());
  c.after = static_cast<int64_t>(now.rows.size());
  RowPairing pairing = PairEqualRows(was.rows, now.rows);
  c.fixed = std::move(pairing.gone);
  c.added = std::move(pairing.come);
  if (c.index == kImportProblems) {
    PairSaidMore(was.rows, c.fixed, now.rows, c.added);
    PairSaidMore(now.rows, c.added, was.rows, c.fixed);
  }
}

// Each report's checks of a table by index, import problems under -1.
std::map<int, const CheckDigest*> ByIndex(const TableDigest& t) {
  std::map<int, const CheckDigest*> checks;
  checks[kImportProblems] = &t.import_problems;
  for (const CheckDigest& c : t.checks)
    if (c.index >= 0) checks.emplace(c.index, &c);
  return checks;
}

const TableDigest* FindTable(const ReportDigest& r, int table) {
  for (const TableDigest& t : r.tables)
    if (t.table == table) return &t;
  return nullptr;
}

struct Comparison {
  std::vector<CheckChange> changes;               // checks with a problem row in either report
  std::vector<std::pair<int, int>> not_compared;  // table, the report that ran its checks
  int64_t fixed = 0, added = 0, left = 0;
};

Comparison Compare(const ReportDigest (&r)[2]) {
  Comparison out;
  for (int table = 1; table <= 5; ++table) {
    const TableDigest* t[2] = {FindTable(r[0], table), FindTable(r[1], table)};
    const bool ran[2] = {t[0] && !t[0]->checks.empty(), t[1] && !t[1]->checks.empty()};
    if (ran[0] != ran[1]) out.not_compared.emplace_back(table, ran[0] ? 0 : 1);
    if (!ran[0] || !ran[1]) continue;
    std::map<int, CheckChange> checks;
    for (int side = 0; side < 2; ++side) {
      for (const auto& [index, digest] : ByIndex(*t[side])) {
        CheckChange& c = checks[index];
        c.table = table;
        c.index = index;
        (side == 0 ? c.was : c.now) = digest;
        // The words of the check that failed, those of the later report first.
        if (c.text.empty() || !digest->passed) c.text = digest->text, c.severity = digest->severity;
      }
    }
    for (auto& [index, c] : checks) {
      Pair(c);
      if (c.before == 0 && c.after == 0) continue;
      out.fixed += static_cast<int64_t>(c.fixed.size());
      out.added += static_cast<int64_t>(c.added.size());
      out.left += c.before - static_cast<int64_t>(c.fixed.size());
      out.changes.push_back(std::move(c));
    }
  }
  return out;
}

std::string CheckName(const CheckChange& c) {
  if (c.index == kImportProblems) return "Import problems";
  std::string wording = SeverityWording(c.severity);
  while (!wording.empty() && wording.back() == ' ') wording.pop_back();
  return std::to_string(c.table) + "." + std::to_string(c.index) + " " + c.text + wording;
}

// A row's values as a person reads them ("NEW, MW-1, , 8260B") and its place
// (" (1234567_5.xls, row 3806)").
std::string RowForReading(const std::string& row, const std::string& place) {
  std::string text;
  const nlohmann::json cells = nlohmann::json::parse(row, nullptr, false);
  for (const nlohmann::json& cell : cells.is_array() ? cells : nlohmann::json::array({cells})) {
    if (!text.empty()) text += ", ";
    if (cell.is_string()) {
      text += ForReading(cell.get<std::string>());
    } else if (!cell.is_null()) {
      text += cell.dump();
    }
  }
  const nlohmann::json p = nlohmann::json::parse(place, nullptr, false);
  if (p.is_object() && p.contains("workbook") && p["workbook"].is_string() && p.contains("row"))
    text += " (" + p["workbook"].get<std::string>() + ", row " + p["row"].dump() + ")";
  return text;
}

void WriteText(const Comparison& cmp, const std::string (&files)[2], const std::string& facility,
               bool changed_only, std::ostream& out) {
  out << "Facility " << ForTerminal(facility) << ": " << ForTerminal(files[0]) << " against "
      << ForTerminal(files[1]) << '\n';
  int table = 0;
  for (const CheckChange& c : cmp.changes) {
    if (changed_only && c.fixed.empty() && c.added.empty()) continue;
    if (c.table != table) {
      table = c.table;
      out << "Table " << table << " - " << TableTitle(table) << '\n';
    }
    out << "  " << ForTerminal(CheckName(c)) << ": " << c.before << " before, " << c.after
        << " now";
    if (!c.fixed.empty() || !c.added.empty())
      out << " (" << c.fixed.size() << " fixed, " << c.added.size() << " new)";
    out << '\n';
    for (size_t i = 0; i < c.added.size() && i < kNewRowsShown; ++i) {
      const size_t row = c.added[i];
      out << "      new: " << ForTerminal(RowForReading(c.now->rows[row], c.now->places[row]))
          << '\n';
    }
    if (c.added.size() > kNewRowsShown)
      out << "      and " << c.added.size() - kNewRowsShown << " more new\n";
  }
  for (const auto& [t, side] : cmp.not_compared) {
    out << "Table " << t << " - " << TableTitle(t) << ": not compared, its checks did not run in "
        << ForTerminal(files[1 - side]) << '\n';
  }
  if (cmp.changes.empty()) {
    out << "No problem rows in either report.\n";
  } else {
    out << "Problem rows: " << cmp.fixed << " fixed, " << cmp.added << " new, " << cmp.left
        << " as before.\n";
  }
}

// `rows` of `check` (none when the report lacks the check).
void WriteRows(const CheckDigest* check, const std::vector<size_t>& rows, JsonWriter& out) {
  out.BeginArray();
  for (size_t row : rows) {
    out.BeginObject();
    out.Key("row");
    out.Raw(check->rows[row]);
    out.Key("place");
    if (check->places[row].empty()) {
      out.Null();
    } else {
      out.Raw(check->places[row]);
    }
    out.EndObject();
  }
  out.EndArray();
}

void WriteJson(const Comparison& cmp, const std::string (&files)[2], const std::string& facility,
               std::ostream& stream) {
  JsonWriter out(stream);
  out.BeginObject();
  out.Key("facility_id");
  out.String(facility);
  out.Key("before");
  out.String(files[0]);
  out.Key("after");
  out.String(files[1]);
  out.Key("fixed");
  out.Integer(cmp.fixed);
  out.Key("new");
  out.Integer(cmp.added);
  out.Key("as_before");
  out.Integer(cmp.left);
  out.Key("not_compared");
  out.BeginArray();
  for (const auto& [t, side] : cmp.not_compared) out.Integer(t);
  out.EndArray();
  out.Key("checks");
  out.BeginArray();
  for (const CheckChange& c : cmp.changes) {
    out.BeginObject();
    out.Key("table");
    out.Integer(c.table);
    out.Key("index");
    if (c.index == kImportProblems) {
      out.Null();  // the table's import problems: each row is [kind, text]
    } else {
      out.Integer(c.index);
    }
    out.Key("text");
    out.String(c.index == kImportProblems ? "Import problems" : c.text);
    out.Key("before");
    out.Integer(c.before);
    out.Key("after");
    out.Integer(c.after);
    out.Key("fixed_rows");
    WriteRows(c.was, c.fixed, out);
    out.Key("new_rows");
    WriteRows(c.now, c.added, out);
    out.EndObject();
  }
  out.EndArray();
  out.EndObject();
}

}  // namespace

int RunCompare(const std::string& before, const std::string& after, bool json, Streams io,
               const std::string (*shown)[2], bool changed_only) {
  try {
    const std::string files[2] = {shown ? (*shown)[0] : before, shown ? (*shown)[1] : after};
    const ReportDigest reports[2] = {ReadReportDigest(before), ReadReportDigest(after)};
    if (reports[0].facility_id != reports[1].facility_id) {
      io.err << "compare: the reports are of different facilities: "
             << ForTerminal(reports[0].facility_id) << " and "
             << ForTerminal(reports[1].facility_id) << '\n';
      return 2;
    }
    const Comparison cmp = Compare(reports);
    if (json) {
      WriteJson(cmp, files, reports[0].facility_id, io.out);
    } else {
      WriteText(cmp, files, reports[0].facility_id, changed_only, io.out);
    }
    return cmp.added > 0 ? 1 : 0;
  } catch (const Error& e) {
    io.err << "compare: " << ForTerminal(e.description()) << '\n';
    return 2;
  } catch (const std::bad_alloc&) {
    io.err << "compare: there is not memory enough to compare these reports\n";
    return 2;
  } catch (const std::exception& e) {
    io.err << "compare: " << ForTerminal(e.what()) << '\n';
    return 2;
  }
}

}  // namespace sorvane::cli
