#include "checks/table_copy.h"

#include "checks/sql_words.h"
#include "core/text.h"

namespace sorvane {

namespace {
constexpr const char* kCopy = "sv_pruned";
}  // namespace

std::string Quoted(const std::string& name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }

std::string Joined(const std::vector<std::string>& items, const std::string& between) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : between) + item;
  return out;
}

std::optional<TableCopy> CopyOf(Connection& conn, const std::string& table) {
  const RecordSet rs = conn.QueryNative(
      "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
      {Value::Text(table)});
  if (rs.RecordCount() != 1) return std::nullopt;
  const std::string create(rs.TextAt(0, 0));
  if (!EqualsNoCase(std::string_view(create).substr(0, 13), "CREATE TABLE ") ||
      !FindWord(create, "WITHOUT").empty() || create.find('(') == std::string::npos)
    return std::nullopt;

  TableCopy copy;
  copy.create.push_back(std::string("CREATE TEMP TABLE ") + kCopy + " " +
                        create.substr(create.find('(')));
  const RecordSet indexes = conn.QueryNative(
      "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 COLLATE "
      "NOCASE AND sql IS NOT NULL",
      {Value::Text(table)});
  for (int64_t r = 0; r < indexes.RecordCount(); ++r) {
    const std::string index_sql(indexes.TextAt(r, 1));
    const std::vector<size_t> on = FindWord(index_sql, "ON");
    const size_t paren = on.empty() ? std::string::npos : index_sql.find('(', on[0]);
    if (paren == std::string::npos) return std::nullopt;
    const bool unique = !FindWord(index_sql.substr(0, on[0]), "UNIQUE").empty();
    copy.create.push_back(std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX temp." +
                          Quoted(std::string(indexes.TextAt(r, 0))) + " ON " + kCopy + " " +
                          index_sql.substr(paren));
  }
  const RecordSet info =
      conn.QueryNative("SELECT name FROM pragma_table_info(?1)", {Value::Text(table)});
  std::vector<std::string> all{"rowid"};
  for (int64_t r = 0; r < info.RecordCount(); ++r)
    all.push_back(Quoted(std::string(info.TextAt(r, 0))));
  copy.insert = std::string("INSERT INTO temp.") + kCopy + " (" + Joined(all, ", ") + ") SELECT " +
                Joined(all, ", ");
  copy.insert_rowids = copy.insert + " FROM " + table +
                       " WHERE rowid IN (SELECT value FROM json_each(?1)) ORDER BY rowid";
  copy.as_table = std::string("temp.") + kCopy + " AS " + table;
  return copy;
}

}  // namespace sorvane
