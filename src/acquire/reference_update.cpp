#include "acquire/reference_update.h"

#include "acquire/reference_file.h"
#include "core/errors.h"
#include "core/text.h"
#include "workdb/reference_tables.h"
#include "workdb/work_database.h"

namespace sorvane {
namespace {

void SetPointer(RunState& state, int pointer) {
  state.view.mouse_pointer = pointer;
  state.Refresh();
}

// A name read from the file, as a message shows it.
std::string Shown(const std::string& name) {
  return Utf8Length(name) > 200 ? Utf8Prefix(name, 200) + "\xE2\x80\xA6" : name;
}

// The names listed in UPDATE_LIST. A file without one is not taken for an
// update database that lists nothing: a work database or some other file
// chosen by mistake, or one whose catalog is damaged, would otherwise end the
// refresh as if it had done its work.
std::vector<std::string> ListedNames(TableSource& source) {
  std::vector<std::string> names;
  std::unique_ptr<TableRows> list = source.OpenTable("UPDATE_LIST");
  if (!list) throw Error(3078, "it has no table UPDATE_LIST naming the tables to replace");
  size_t column = 0;
  while (column < list->columns().size() &&
         !EqualsNoCase(list->columns()[column].name, "TABLE_NAME"))
    ++column;
  if (column == list->columns().size())
    throw Error(3265, "its UPDATE_LIST has no column TABLE_NAME");
  std::vector<Value> row;
  while (list->Next(row)) {
    if (!row[column].IsMissing()) names.push_back(row[column].ToDisplay());
  }
  return names;
}

}  // namespace

ReferenceUpdateResult UpdateReferenceTables(RunState& state, const ChildLimits& limits) {
  ReferenceUpdateResult result;
  SetPointer(state, kPointerHourglass);
  state.SetStatusLine("Updating Reference Tables");
  const UpdateFileChoice choice = ChooseUpdateFile(state.paths);
  result.file = choice.file;
  result.note = choice.note;
  // One yield before the update database is opened, so the status line and the
  // hourglass show even when it turns out to be missing.
  state.DoEvents();

  auto finish = [&](const std::string& message) {
    state.SetStatusLine("");
    SetPointer(state, kPointerDefault);
    if (!message.empty()) state.ui.MessageBox(message);
    return result;
  };

  std::error_code ec;
  if (!std::filesystem::exists(choice.file, ec)) {
    result.shut_down = true;
    return finish("The Access Update database (" + choice.file.filename().string() +
                  ") is missing.  Copy it to " + choice.file.string());
  }
  const std::string unreadable =
      "The update database " + choice.file.string() + " could not be read: ";
  std::unique_ptr<TableSource> source;
  std::vector<std::string> names;
  try {
    source = OpenReferenceFile(choice.file, limits);
    names = ListedNames(*source);
  } catch (const Error& e) {
    return finish(unreadable + e.description() + ". Nothing was changed.");
  }

  for (const std::string& name : names) {
    std::string why;
    if (const auto table = ReferenceTableName(name); !table) {
      why = "not a reference table of the work database";
    } else {
      try {
        std::unique_ptr<TableRows> rows = source->OpenTable(*table);
        if (!rows) {
          why = "not in the update database";
        } else if (ReplaceOutcome out = ReplaceReferenceTable(state.WorkConn, *table, *rows);
                   !out.replaced) {
          why = out.why;
        }
      } catch (const Error& e) {
        why = "the file could not be read: " + e.description();
      }
    }
    if (why.empty()) {
      result.replaced.push_back(name);
    } else {
      result.kept.push_back(Shown(name));
      result.kept_why.push_back(std::move(why));
    }
  }
  return finish("");
}

std::string KeptTablesMessage(const ReferenceUpdateResult& result) {
  if (result.kept.empty()) return "";
  std::string text = "The update database " + result.file.string() +
                     (result.note.empty() ? "" : " (" + result.note + ")") + " was read.";
  for (size_t i = 0; i < result.replaced.size(); ++i)
    text += (i == 0 ? "\nReplaced: " : ", ") + Shown(result.replaced[i]);
  text += "\nKept as they were:";
  for (size_t i = 0; i < result.kept.size(); ++i)
    text += "\n" + result.kept[i] + ": " + ForReading(result.kept_why[i]);
  return text;
}

std::vector<ReferenceLoad> LoadReferenceTables(Connection& work, TableSource& source) {
  std::vector<ReferenceLoad> loads;
  for (const char* table : kReferenceTables) {
    ReferenceLoad load;
    load.table = table;
    try {
      std::unique_ptr<TableRows> rows = source.OpenTable(table);
      if (!rows) {
        load.why = "not in " + source.file().string();
      } else {
        ReplaceOutcome out = ReplaceReferenceTable(work, table, *rows);
        load.loaded = out.replaced;
        load.rows = out.rows;
        load.why = out.why;
      }
    } catch (const Error& e) {
      load.why = "the file could not be read: " + e.description();
    }
    loads.push_back(std::move(load));
  }
  return loads;
}

}  // namespace sorvane
