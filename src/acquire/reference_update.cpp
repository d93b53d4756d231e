#include "acquire/reference_update.h"

#include "core/errors.h"
#include "core/text.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

constexpr const char* kAlias = "sv_update";
constexpr long kErrUnsafeDefinition = 3251;  // "operation not supported"

std::string QuoteName(std::string_view name) {
  return "\"" + ReplaceAll(name, "\"", "\"\"") + "\"";
}

void SetPointer(RunState& state, int pointer) {
  state.view.mouse_pointer = pointer;
  state.Refresh();
}

// Detaches the update database however the refresh ends.
class Attachment {
 public:
  Attachment(Connection& conn, const std::filesystem::path& file) : conn_(conn) {
    conn_.ExecuteNative(std::string("ATTACH DATABASE ?1 AS ") + kAlias,
                        {Value::Text(file.string())});
  }
  ~Attachment() {
    try {
      conn_.ExecuteNative(std::string("DETACH DATABASE ") + kAlias);
    } catch (const Error&) {
      // The connection is closing or broken; nothing is left attached to it then.
    }
  }
  Attachment(const Attachment&) = delete;
  Attachment& operator=(const Attachment&) = delete;

 private:
  Connection& conn_;
};

// The names listed in UPDATE_LIST; none when the table is missing.
std::vector<std::string> ListedNames(Connection& work) {
  std::vector<std::string> names;
  Value has = work.QueryValue(std::string("SELECT count(*) FROM ") + kAlias +
                              ".sqlite_master WHERE type = 'table' AND name = 'UPDATE_LIST' "
                              "COLLATE NOCASE");
  if (has.kind() != Value::Kind::kInteger || has.AsInteger() == 0) return names;
  // Read through an expression: a snapshot limits a declared text column to 255
  // characters, and neither a name nor a CREATE statement must be cut short.
  RecordSet list = work.QueryNative(std::string("SELECT CAST(TABLE_NAME AS TEXT) FROM ") + kAlias +
                                    ".UPDATE_LIST ");
  for (int64_t row = 0; row < list.RecordCount(); ++row) {
    Value v = list.At(row, 0);
    if (!v.IsMissing()) names.push_back(v.ToDisplay());
  }
  return names;
}

// Runs a definition read from the update database. The engine itself only ever
// reads the first statement of a stored definition, so a file whose schema was
// edited to carry more ("CREATE TABLE ...; DROP TABLE ...") would otherwise have
// the rest run on the work database.
void RunDefinition(Connection& work, const std::string& sql) {
  if (!work.IsSingleStatement(sql))
    throw DatabaseError(kErrUnsafeDefinition, "Definition refused: " + sql);
  work.ExecuteNative(sql);
}

// Replaces one table; when it cannot be, the old table is untouched and the
// reason comes back (empty after a replacement).
std::string ReplaceTable(Connection& work, const std::string& name) {
  if (LowerCase(name).starts_with("sqlite_")) return "a table of the database engine itself";
  const std::string schema = std::string(kAlias) + ".sqlite_master";
  RecordSet def = work.QueryNative("SELECT CAST(sql AS TEXT) FROM " + schema +
                                       " WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
                                   {Value::Text(name)});
  if (def.RecordCount() != 1 || def.At(0, 0).kind() != Value::Kind::kText) {
    return "not in the update database";
  }
  const std::string create = def.At(0, 0).AsText();
  if (!UpperCase(create).starts_with("CREATE TABLE")) return "not a plain table";  // virtual

  RecordSet indexes = work.QueryNative("SELECT CAST(sql AS TEXT) FROM " + schema +
                                           " WHERE type = 'index' AND tbl_name = ?1 COLLATE "
                                           "NOCASE AND sql IS NOT NULL ORDER BY name",
                                       {Value::Text(name)});
  const std::string quoted = QuoteName(name);
  try {
    Transaction tx(work);
    work.ExecuteNative("DROP TABLE IF EXISTS main." + quoted);
    // Unqualified, the update database's own statement creates the table (and
    // then its indexes) in the work database.
    RunDefinition(work, create);
    work.ExecuteNative("INSERT INTO main." + quoted + " SELECT * FROM " + kAlias + "." + quoted);
    for (int64_t row = 0; row < indexes.RecordCount(); ++row) {
      RunDefinition(work, indexes.At(row, 0).AsText());
    }
    tx.Commit();
    return "";
  } catch (const Error& e) {
    return e.NumberDescription();
  }
}

}  // namespace

ReferenceUpdateResult UpdateReferenceTables(RunState& state) {
  ReferenceUpdateResult result;
  SetPointer(state, kPointerHourglass);
  state.SetStatusLine("Updating Reference Tables");

  const std::filesystem::path file = state.paths.UpdateDb();
  // One yield before the update database is opened, so the status line and the
  // hourglass show even when it turns out to be missing.
  state.DoEvents();
  {
    // Opening it on its own first tells a missing or damaged file apart, and
    // keeps ATTACH from creating an empty database under that name.
    Connection probe;
    try {
      probe.Open(file);
    } catch (const DatabaseOpenError&) {
      state.ui.MessageBox("The Access Update database (GIS_UPDATE.mdb) is missing.  Copy it to " +
                          file.string());
      result.shut_down = true;
      return result;
    }
  }

  try {
    Attachment attached(state.WorkConn, file);
    for (const std::string& name : ListedNames(state.WorkConn)) {
      std::string why = ReplaceTable(state.WorkConn, name);
      if (why.empty()) {
        result.replaced.push_back(name);
      } else {
        result.kept.push_back(name);
        result.kept_why.push_back(std::move(why));
      }
    }
  } catch (const Error& e) {
    state.SetStatusLine("");
    SetPointer(state, kPointerDefault);
    state.ui.MessageBox(e.NumberDescription());
    return result;
  }

  state.SetStatusLine("");
  SetPointer(state, kPointerDefault);
  return result;
}

}  // namespace sorvane
