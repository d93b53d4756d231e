#include "workdb/reference_tables.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "core/errors.h"
#include "core/text.h"
#include "workdb/embedded_data.h"
#include "workdb/work_database.h"

namespace sorvane {
namespace {

enum class ColumnKind { kText, kInteger, kReal };

struct LayoutColumn {
  std::string name;
  ColumnKind kind = ColumnKind::kText;
  bool not_null = false;
};

struct TableLayout {
  std::string create_sql;
  std::vector<std::string> index_sql;
  std::vector<LayoutColumn> columns;
};

struct Layout {
  std::map<std::string, TableLayout> tables;
  // "TEMP_n.FIELD" of every workbook column the program's own structures define.
  std::vector<std::string> workbook_columns;
};

// The shipped schema and structures, read once into a private database: the
// one description of the reference tables, so it cannot drift from the file
// that builds the work database.
const Layout& ProgramLayout() {
  static const Layout layout = [] {
    Connection conn;
    conn.OpenInMemory();
    for (const char* wanted : {"10_reference_tables.sql", "21_structure.sql"}) {
      for (const auto& f : embedded::Files())
        if (f.name == wanted) conn.ExecuteScript(f.content);
    }
    Layout l;
    for (const char* name : kReferenceTables) {
      TableLayout& t = l.tables[name];
      const std::vector<Value> param{Value::Text(name)};
      t.create_sql = conn.QueryValue(
                             "SELECT CAST(sql AS TEXT) FROM sqlite_master WHERE type = "
                             "'table' AND name = ?1",
                             param)
                         .AsText();
      RecordSet idx = conn.QueryNative(
          "SELECT CAST(sql AS TEXT) FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 "
          "AND sql IS NOT NULL ORDER BY name",
          param);
      for (int64_t r = 0; r < idx.RecordCount(); ++r) t.index_sql.push_back(idx.At(r, 0).AsText());
      RecordSet cols = conn.QueryNative(
          "SELECT CAST(name AS TEXT), CAST(type AS TEXT), \"notnull\" FROM pragma_table_info(?1) "
          "ORDER BY cid",
          param);
      for (int64_t r = 0; r < cols.RecordCount(); ++r) {
        const std::string type = UpperCase(cols.At(r, 1).ToDisplay());
        t.columns.push_back({cols.At(r, 0).AsText(),
                             type == "INTEGER" ? ColumnKind::kInteger
                             : type == "REAL"  ? ColumnKind::kReal
                                               : ColumnKind::kText,
                             cols.At(r, 2).ToDouble() != 0});
      }
    }
    RecordSet s = conn.QueryNative(
        "SELECT CAST(TABLE_NAME AS TEXT) || '.' || CAST(FIELD_NAME AS TEXT) FROM MT_VBSTRUCTURE "
        "ORDER BY TABLE_NAME, FIELD_ORDER");
    for (int64_t r = 0; r < s.RecordCount(); ++r)
      l.workbook_columns.push_back(UpperCase(s.At(r, 0).AsText()));
    return l;
  }();
  return layout;
}

// Thrown inside the transaction to give up on a table with a reason.
struct Refusal {
  std::string why;
};

std::string Shown(const Value& v) {
  if (v.kind() != Value::Kind::kText) return v.ToDisplay();
  std::string text = v.AsText();
  if (Utf8Length(text) > 60) text = Utf8Prefix(text, 60) + "\xE2\x80\xA6";  // "…"
  return "\"" + text + "\"";
}

std::optional<double> NumberFromText(std::string_view text) {
  text = TrimWhitespace(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double d = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(d))
    return std::nullopt;
  return d;
}

// The value as a column of `kind` keeps it; nothing when it cannot take it.
std::optional<Value> Fit(const Value& v, ColumnKind kind) {
  if (v.IsMissing()) return v;
  switch (kind) {
    case ColumnKind::kText:
      switch (v.kind()) {
        case Value::Kind::kText:
          return v;
        case Value::Kind::kDate:
          return Value::Text(v.AsDate().ToIso());
        case Value::Kind::kInteger:
          return Value::Text(std::to_string(v.AsInteger()));
        default:
          return Value::Text(FormatGeneral(v.AsReal()));
      }
    case ColumnKind::kInteger: {
      std::optional<double> d;
      if (v.kind() == Value::Kind::kInteger) {
        if (v.AsInteger() >= std::numeric_limits<int32_t>::min() &&
            v.AsInteger() <= std::numeric_limits<int32_t>::max())
          return v;
        return std::nullopt;
      }
      if (v.kind() == Value::Kind::kReal) d = v.AsReal();
      if (v.kind() == Value::Kind::kText) d = NumberFromText(v.AsText());
      if (!d || *d != std::floor(*d) || *d < std::numeric_limits<int32_t>::min() ||
          *d > std::numeric_limits<int32_t>::max())
        return std::nullopt;
      return Value::Integer(static_cast<int64_t>(*d));
    }
    case ColumnKind::kReal:
      if (v.kind() == Value::Kind::kInteger) return Value::Real(static_cast<double>(v.AsInteger()));
      if (v.kind() == Value::Kind::kReal) return v;
      if (v.kind() == Value::Kind::kText) {
        if (auto d = NumberFromText(v.AsText())) return Value::Real(*d);
      }
      return std::nullopt;
  }
  return std::nullopt;
}

const char* KindWords(ColumnKind kind) {
  return kind == ColumnKind::kInteger ? "a whole number from -2147483648 to 2147483647"
                                      : "a number";
}

std::string ListSome(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size() && i < 5; ++i) out += (i > 0 ? ", " : "") + names[i];
  if (names.size() > 5) out += " and " + std::to_string(names.size() - 5) + " more";
  return out;
}

// The table structures drive the import of every workbook: a replacement must
// still define every workbook column the program reads, once each, with a type
// the import converts.
void CheckStructuresWhole(Connection& work) {
  RecordSet rs = work.QueryNative(
      "SELECT CAST(TABLE_NAME AS TEXT), CAST(FIELD_NAME AS TEXT), FIELD_TYPE FROM "
      "main.MT_VBSTRUCTURE");
  std::map<std::string, std::vector<int64_t>> types;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) {
    const std::string key =
        UpperCase(Trim(rs.At(r, 0).ToDisplay())) + "." + UpperCase(Trim(rs.At(r, 1).ToDisplay()));
    types[key].push_back(rs.At(r, 2).kind() == Value::Kind::kInteger ? rs.At(r, 2).AsInteger()
                                                                     : -1);
  }
  std::vector<std::string> missing, twice, bad_type;
  for (const auto& [key, list] : types) {
    if (list.size() > 1 && key.starts_with("TEMP_")) twice.push_back(key);
  }
  for (const std::string& key : ProgramLayout().workbook_columns) {
    auto it = types.find(key);
    if (it == types.end()) {
      missing.push_back(key);
    } else if (const int64_t t = it->second.front(); t != 3 && t != 4 && t != 7 && t != 200) {
      bad_type.push_back(key);
    }
  }
  if (!missing.empty())
    throw Refusal{"it lacks the workbook column(s) " + ListSome(missing) +
                  ", which the import reads"};
  if (!twice.empty())
    throw Refusal{"it lists the workbook column(s) " + ListSome(twice) + " twice"};
  if (!bad_type.empty())
    throw Refusal{"the workbook column(s) " + ListSome(bad_type) +
                  " have a FIELD_TYPE other than 3, 4, 7 or 200, which the import cannot convert"};
}

}  // namespace

std::optional<std::string> ReferenceTableName(std::string_view name) {
  for (const char* table : kReferenceTables)
    if (EqualsNoCase(Trim(name), table)) return std::string(table);
  return std::nullopt;
}

ReplaceOutcome ReplaceReferenceTable(Connection& work, std::string_view name, TableRows& rows) {
  ReplaceOutcome out;
  const std::optional<std::string> table = ReferenceTableName(name);
  if (!table) {
    out.why = "not a reference table of the work database";
    return out;
  }
  try {
    const TableLayout& layout = ProgramLayout().tables.at(*table);
    // Source column of each of the program's columns.
    std::vector<size_t> from;
    std::vector<std::string> names;
    for (const LayoutColumn& c : layout.columns) {
      size_t i = 0;
      while (i < rows.columns().size() && !EqualsNoCase(rows.columns()[i].name, c.name)) ++i;
      if (i == rows.columns().size()) throw Refusal{"it lacks the column " + c.name};
      if (rows.columns()[i].kind == SourceKind::kBinary)
        throw Refusal{"its column " + rows.columns()[i].name + " holds binary data"};
      from.push_back(i);
      names.push_back(c.name);
    }

    Transaction tx(work);
    work.ExecuteNative("DROP TABLE IF EXISTS main.\"" + *table + "\"");
    work.ExecuteNative(layout.create_sql);
    for (const std::string& sql : layout.index_sql) work.ExecuteNative(sql);
    Inserter insert(work, *table, names);
    std::vector<Value> row;
    while (true) {
      try {
        if (!rows.Next(row)) break;
      } catch (const Error& e) {
        throw Refusal{"the file could not be read: " + e.description()};
      }
      const std::string at = "row " + std::to_string(out.rows + 1) + ": ";
      for (size_t c = 0; c < from.size(); ++c) {
        const LayoutColumn& col = layout.columns[c];
        if (rows.IsBinary(from[c])) throw Refusal{at + col.name + " holds binary data"};
        std::optional<Value> v = Fit(row[from[c]], col.kind);
        if (!v) {
          throw Refusal{at + col.name + " holds " + Shown(row[from[c]]) + ", which is not " +
                        KindWords(col.kind)};
        }
        if (col.not_null && v->IsMissing()) throw Refusal{at + col.name + " is empty"};
        insert.Bind(static_cast<int>(c), *v);
      }
      try {
        insert.Step();
      } catch (const DatabaseError& e) {
        constexpr long kConstraint = 19;  // the engine's code for a broken rule
        if (e.number() % 256 != kConstraint) throw;
        throw Refusal{at + "refused by the table's rules (" + e.description() + ")"};
      }
      ++out.rows;
    }
    if (*table == "MT_VBSTRUCTURE") CheckStructuresWhole(work);
    tx.Commit();
    out.replaced = true;
  } catch (const Refusal& r) {
    out.why = r.why;
    out.rows = 0;
  } catch (const Error& e) {
    out.why = e.NumberDescription();
    out.rows = 0;
  }
  return out;
}

}  // namespace sorvane
