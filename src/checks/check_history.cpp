#include "checks/check_history.h"

#include "core/errors.h"
#include "core/record_set.h"
#include "core/row_pairing.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS runs(fac TEXT, tbl INTEGER, gen INTEGER, workbooks TEXT, at TEXT,
                                PRIMARY KEY(fac, tbl, gen));
CREATE TABLE IF NOT EXISTS checks(fac TEXT, tbl INTEGER, gen INTEGER, chk INTEGER, count INTEGER,
                                  kept INTEGER, PRIMARY KEY(fac, tbl, gen, chk));
CREATE TABLE IF NOT EXISTS problem_rows(fac TEXT, tbl INTEGER, gen INTEGER, chk INTEGER, row TEXT);
CREATE INDEX IF NOT EXISTS rows_of ON problem_rows(fac, tbl, gen, chk);
)";
constexpr const char* kTables[] = {"runs", "checks", "problem_rows"};
constexpr const char* kOfTable = " WHERE fac = ?1 AND tbl = ?2 AND gen = ";
constexpr int kFacilitiesKept = 50;
constexpr size_t kFixedRowsSaid = 5;

CheckChange Pair(const std::vector<std::string>& then, const std::vector<std::string>& now) {
  const RowPairing pairing = PairEqualRows(then, now);
  CheckChange c;
  c.before = static_cast<int64_t>(then.size());
  c.now = static_cast<int64_t>(now.size());
  c.fixed = static_cast<int64_t>(pairing.gone.size());
  c.added = static_cast<int64_t>(pairing.come.size());
  c.is_new.assign(now.size(), false);
  for (size_t i : pairing.come) c.is_new[i] = true;
  for (size_t i = 0; i < pairing.gone.size() && i < kFixedRowsSaid; ++i)
    c.fixed_rows.push_back(then[pairing.gone[i]]);
  return c;
}

// A row's values as a person reads them: "NEW, MW-1, Toluene, , 1.693".
std::string RowForReading(std::string_view row) {
  std::string text;
  for (const char ch : row) {
    if (ch == '\x1f') {
      text += ", ";
    } else if (ch != '\x1e') {
      text += ch;
    }
  }
  return text;
}

std::string ProblemRows(int64_t n) {
  return n == 1 ? "1 problem row" : std::to_string(n) + " problem rows";
}

}  // namespace

std::vector<std::string> ProblemRowTexts(const RecordSet& rows) {
  // In the order the query gave them, whatever sort the grid put on them.
  std::optional<RecordSet> copy;
  const RecordSet& as_read = rows.InOrderAdded() ? rows : copy.emplace(rows.AllInOrderAdded());
  std::vector<std::string> texts;
  texts.reserve(static_cast<size_t>(as_read.RecordCount()));
  for (int64_t r = 0; r < as_read.RecordCount(); ++r) {
    std::string text;
    for (size_t f = 0; f < as_read.FieldCount(); ++f) {
      const Value v = as_read.At(r, f);
      if (f > 0) text += '\x1f';
      text += v.IsMissing() ? std::string("\x1e") : v.ToDisplay();
    }
    texts.push_back(std::move(text));
  }
  return texts;
}

std::optional<TableChanges> CheckHistory::Record(const std::string& facility, int table,
                                                 const std::string& workbooks,
                                                 const std::string& at,
                                                 const std::map<int, CheckRows>& checks) {
  try {
    Connection db;
    try {
      db.Open(file_, std::chrono::seconds(1));
    } catch (const DatabaseMissingError&) {
      db.Create(file_);
    } catch (const DatabaseOpenError& e) {
      if (!e.damaged()) throw;
      // A damaged history would compare nothing for ever: it starts anew.
      std::filesystem::remove(file_);
      db.Create(file_);
    }
    db.ExecuteScript(kSchema);
    Transaction tx(db);
    const Value fac = Value::Text(facility), tbl = Value::Integer(table);
    const RecordSet latest =
        db.QueryNative(std::string("SELECT workbooks FROM runs") + kOfTable + "0", {fac, tbl});
    const bool other_workbooks = latest.RecordCount() > 0 && latest.TextAt(0, 0) != workbooks;
    for (const char* t : kTables) {
      const std::string name = t;
      if (other_workbooks) {
        db.ExecuteNative("DELETE FROM " + name + kOfTable + "1", {fac, tbl});
        db.ExecuteNative("UPDATE " + name + " SET gen = 1" + kOfTable + "0", {fac, tbl});
      } else {
        db.ExecuteNative("DELETE FROM " + name + kOfTable + "0", {fac, tbl});
      }
    }
    db.ExecuteNative("INSERT INTO runs VALUES (?1, ?2, 0, ?3, ?4)",
                     {fac, tbl, Value::Text(workbooks), Value::Text(at)});
    for (const auto& [index, check] : checks) {
      db.ExecuteNative("INSERT INTO checks VALUES (?1, ?2, 0, ?3, ?4, ?5)",
                       {fac, tbl, Value::Integer(index), Value::Integer(check.count),
                        Value::Integer(check.kept)});
      if (!check.kept) continue;
      Inserter insert(db, "problem_rows", {"fac", "tbl", "gen", "chk", "row"});
      for (const std::string& row : check.rows) {
        insert.Bind(0, fac);
        insert.Bind(1, tbl);
        insert.Bind(2, Value::Integer(0));
        insert.Bind(3, Value::Integer(index));
        insert.Bind(4, Value::Text(row));
        insert.Step();
      }
    }

    // The facilities checked most recently are kept; a contractor's older
    // ones would only make the file grow.
    for (const char* t : kTables) {
      db.ExecuteNative(std::string("DELETE FROM ") + t +
                       " WHERE fac NOT IN (SELECT fac FROM runs GROUP BY fac ORDER BY max(at) DESC "
                       "LIMIT " +
                       std::to_string(kFacilitiesKept) + ")");
    }

    std::optional<TableChanges> changes;
    const RecordSet before =
        db.QueryNative(std::string("SELECT at FROM runs") + kOfTable + "1", {fac, tbl});
    if (before.RecordCount() > 0) {
      changes.emplace().since = std::string(before.TextAt(0, 0));
      for (const auto& [index, check] : checks) {
        const Value chk = Value::Integer(index);
        const RecordSet then = db.QueryNative(
            std::string("SELECT kept FROM checks") + kOfTable + "1 AND chk = ?3", {fac, tbl, chk});
        if (!check.kept || then.RecordCount() == 0 || then.At(0, 0).AsInteger() == 0) continue;
        const RecordSet rows = db.QueryNative(std::string("SELECT row FROM problem_rows") +
                                                  kOfTable + "1 AND chk = ?3 ORDER BY rowid",
                                              {fac, tbl, chk});
        std::vector<std::string> then_rows;
        for (int64_t r = 0; r < rows.RecordCount(); ++r) then_rows.emplace_back(rows.TextAt(r, 0));
        changes->checks[index] = Pair(then_rows, check.rows);
      }
    }
    tx.Commit();
    return changes;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string DescribeChange(const std::string& since, const CheckChange& c) {
  const std::string head = "Since the checks of " + since + ": ";
  if (c.fixed == 0 && c.added == 0) {
    return c.now == 0 ? "" : head + "the same " + ProblemRows(c.now) + ".";
  }
  std::string said = head + ProblemRows(c.before) + " then, " +
                     (c.now == 0 ? "none" : std::to_string(c.now)) + " now (" +
                     std::to_string(c.fixed) + " fixed, " + std::to_string(c.added) + " new).";
  for (const std::string& row : c.fixed_rows) said += "\nFixed: " + RowForReading(row);
  const auto unsaid = c.fixed - static_cast<int64_t>(c.fixed_rows.size());
  if (unsaid > 0) said += "\nand " + std::to_string(unsaid) + " more fixed";
  return said;
}

std::string DescribeChanges(const TableChanges& changes) {
  int64_t fixed = 0, added = 0;
  for (const auto& [index, change] : changes.checks) {
    fixed += change.fixed;
    added += change.added;
  }
  return "Since the checks of " + changes.since + ": " + ProblemRows(fixed) + " fixed, " +
         std::to_string(added) + " new" + (added > 0 ? " (in bold)." : ".");
}

}  // namespace sorvane
