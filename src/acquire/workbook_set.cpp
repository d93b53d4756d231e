#include "acquire/workbook_set.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "acquire/file_ops.h"
#include "acquire/folder_scan.h"
#include "core/convert.h"
#include "core/text.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

constexpr int kFacilityIdLength = 7;

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Start-up appends these fields; a list made elsewhere (the command line, a
// test) gets the same ones here. Their sizes are nominal: a fixed-length field
// keeps a longer path whole, as deep folders need.
void PrepareFileList(RunState& state) {
  if (!state.FileList) state.FileList = std::make_shared<RecordSet>();
  RecordSet& list = *state.FileList;
  if (list.FieldCount() == 0) {
    list.AppendField("FilePath", kTypeChar, 60);
    list.AppendField("FileName", kTypeChar, 50);
    list.AppendField("FileExt", kTypeChar, 3);
  }
  if (!list.IsOpen()) list.Open();
  list.ClearFilter();
  list.Sort("");
  list.Clear();
}

// Whether the name ends, ignoring case, in the table number and a workbook's
// extension (".xls", ".xlsx", ".ods", ...).
bool HasTableSuffix(std::string_view name, int table) {
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot > 0 && IsWorkbookExtension(name.substr(dot)) &&
         name[dot - 1] == static_cast<char>('0' + table);
}

// A copy's name as it came beside its original ("1234567_3 (1).xls" as a
// browser saves a second download, "1234567_3 - Copy.xls", "1234567_3
// copy 2.xls"), without its copy mark: "1234567_3.xls"; "" for any other name.
std::string WithoutCopyMark(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string_view stem = name.substr(0, dot);
  const std::string_view original = stem;
  auto ends_with_number = [&](std::string_view s, size_t& digits) {
    digits = 0;
    while (digits < s.size() && s[s.size() - 1 - digits] >= '0' && s[s.size() - 1 - digits] <= '9')
      ++digits;
    return digits > 0;
  };
  for (bool again = true; again;) {
    again = false;
    size_t digits = 0;
    // " (2)"
    if (stem.ends_with(')') && ends_with_number(stem.substr(0, stem.size() - 1), digits) &&
        stem.size() >= digits + 3 && stem.substr(stem.size() - digits - 3, 2) == " (") {
      stem.remove_suffix(digits + 3);
      again = true;
    }
    // " copy", " copy 2", " - Copy"
    std::string_view rest = stem;
    if (ends_with_number(rest, digits) && rest.size() > digits &&
        rest[rest.size() - digits - 1] == ' ')
      rest.remove_suffix(digits + 1);
    if (rest.size() >= 5 && EqualsNoCase(rest.substr(rest.size() - 5), " copy")) {
      rest.remove_suffix(5);
      if (rest.ends_with(" -")) rest.remove_suffix(2);
      stem = rest;
      again = true;
    }
  }
  if (stem.size() == original.size()) return {};
  return std::string(stem) + std::string(name.substr(dot));
}

}  // namespace

bool CheckFacilityIDForm(RunState& state) {
  state.view.txtFacilityID.enabled = true;
  const size_t n = Utf8Length(state.view.txtFacilityID.text);
  if (n == 0) {
    state.ui.MessageBox("Please Enter a Facility ID");
    return false;
  }
  if (n != kFacilityIdLength) {
    state.ui.MessageBox("Facility ID must be 7 digits.");
    return false;
  }
  return true;
}

bool CheckFacilityID(RunState& state) {
  if (!CheckFacilityIDForm(state)) return false;
  const std::string& id = state.view.txtFacilityID.text;
  bool all_match = true;
  for (const fs::path& file : ListFiles(state.paths.WorkbookDir())) {
    if (!Contains(NameOf(file), id)) all_match = false;
  }
  if (!all_match) {
    state.ui.MessageBox("Facility ID does not match copied files.");
    return false;
  }
  return true;
}

bool VerifyWorkbookSet(RunState& state) {
  bool result = true;
  const std::string& id = state.view.txtFacilityID.text;
  const fs::path folder = state.paths.WorkbookDir();
  const std::string shown = folder.string();

  PrepareFileList(state);
  RecordSet& list = *state.FileList;

  // The text files of earlier imports, and what a copy killed halfway left,
  // never count as workbooks.
  DiskFileOps disk;
  for (const fs::path& file : ListFilesWithHidden(folder)) {
    const std::string name = NameOf(file);
    if ((!IsHiddenName(name) && LowerCase(name).ends_with(".txt")) || IsUnfinishedCopy(name))
      disk.Remove(file);
  }

  for (const fs::path& file : ListFiles(folder)) {
    list.AddNew();
    list.SetValue("FileName", Value::Text(std::string(Trim(NameOf(file)))));
    list.SetValue("FilePath", Value::Text(std::string(Trim(file.string()))));
  }
  list.Sort("FileName");
  list.MoveFirst();

  if (list.RecordCount() < 5) {
    state.ui.MessageBox("Five files for " + id + " were not found in " + shown +
                        ".  Please check CD (or floppy) and " + shown + ".");
    return false;
  }

  const int name_field = list.FieldIndex("FileName");
  for (int i = 1; i <= 5; ++i) {
    std::string_view name = Trim(list.TextAt(i - 1, static_cast<size_t>(name_field)));
    if (!HasTableSuffix(name, i)) {
      state.ui.MessageBox("File #" + std::to_string(i) + " is missing.");
      result = false;
    }
  }

  // The first five names in order are the five tables, so a second workbook
  // for one table (an .xlsx saved beside its .xls) puts every later table one
  // place off, and those are said to be missing: the reason is said too.
  if (!result) {
    for (int n = 1; n <= 5; ++n) {
      std::vector<std::string> same;
      for (int64_t row = 0; row < list.RecordCount(); ++row) {
        std::string_view name = Trim(list.TextAt(row, static_cast<size_t>(name_field)));
        if (HasTableSuffix(name, n)) same.emplace_back(name);
      }
      if (same.size() < 2) continue;
      state.ui.MessageBox("Table " + std::to_string(n) + " has more than one workbook: " +
                          JoinedWithAnd(same) + ".  Please leave one of them in " + shown + ".");
    }
    // A table without a workbook, whose workbook is there under the name a
    // copy got, is told what to rename ("1234567_5 copy 2.ods" is no
    // workbook of Table 2).
    auto named = [&](int n) {
      for (int64_t row = 0; row < list.RecordCount(); ++row) {
        const std::string_view name = Trim(list.TextAt(row, static_cast<size_t>(name_field)));
        if (HasTableSuffix(name, n) && WithoutCopyMark(name).empty()) return true;
      }
      return false;
    };
    for (int64_t row = 0; row < list.RecordCount(); ++row) {
      const std::string name(Trim(list.TextAt(row, static_cast<size_t>(name_field))));
      const std::string plain = WithoutCopyMark(name);
      for (int n = 1; n <= 5 && !plain.empty(); ++n) {
        if (!HasTableSuffix(plain, n) || named(n)) continue;
        state.ui.MessageBox(name + " seems to be the workbook of Table " +
                            std::to_string(n) + " under the name of a copy: rename it " + plain +
                            ".");
      }
    }
  }

  for (int64_t row = 0; row < list.RecordCount(); ++row) {
    std::string_view name = Trim(list.TextAt(row, static_cast<size_t>(name_field)));
    if (!Contains(name, id)) {
      state.ui.MessageBox("Facility ID does not match copied files. Please check " + shown +
                          " to confirm correct files were copied.");
      result = false;
      break;
    }
  }
  return result;
}

std::vector<std::string> UnreadWorkbooksOf(const RunState& state, int table) {
  std::vector<std::string> names;
  if (!state.FileList) return names;
  const RecordSet& list = *state.FileList;
  const int name_field = list.FieldIndex("FileName");
  for (int64_t row = 5; name_field >= 0 && row < list.RecordCount(); ++row) {
    const std::string_view name = Trim(list.TextAt(row, static_cast<size_t>(name_field)));
    if (HasTableSuffix(name, table)) names.emplace_back(name);
  }
  return names;
}

std::string UnreadWorkbooksText(const RunState& state, int table) {
  const std::vector<std::string> unread = UnreadWorkbooksOf(state, table);
  const std::string& read = state.Tables[table].WorkbookName;
  if (unread.empty() || read.empty()) return {};
  return JoinedWithAnd(unread) + (unread.size() == 1 ? " was" : " were") + " not read: Table " +
         std::to_string(table) + " was read from " + read + ".";
}

std::vector<std::string> FacilityIdsOfSets(const fs::path& folder) {
  std::map<std::string, std::set<int>> tables_of;
  for (const fs::path& file : ListFiles(folder)) {
    const std::string name = NameOf(file);
    for (int n = 1; n <= 5; ++n) {
      if (!HasTableSuffix(name, n)) continue;
      const std::string_view stem = std::string_view(name).substr(0, name.rfind('.') - 1);
      for (size_t i = 0; i < stem.size();) {
        size_t end = i;
        while (end < stem.size() && stem[end] >= '0' && stem[end] <= '9') ++end;
        if (end - i == static_cast<size_t>(kFacilityIdLength))
          tables_of[std::string(stem.substr(i, end - i))].insert(n);
        i = std::max(end, i + 1);
      }
    }
  }
  std::vector<std::string> ids;
  for (const auto& [id, tables] : tables_of) {
    if (tables.size() == 5) ids.push_back(id);
  }
  return ids;
}

}  // namespace sorvane
