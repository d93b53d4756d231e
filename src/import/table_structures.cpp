#include "import/table_structures.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"
#include "import/other_sheets.h"

namespace sorvane {
namespace {

// A structure number (type or size) as a whole number; an empty cell gives 0.
// A number that no 32-bit integer holds stops the load as an overflow: the
// table can come from the agency's update database, so its values are checked.
int32_t StructureNumber(const Value& v) {
  double d = 0;
  if (v.IsNumber()) {
    d = v.ToDouble();
  } else if (v.kind() == Value::Kind::kText) {
    d = ToSingle(v.AsText()).value_or(0);
  }
  d = RoundHalfEven(d);
  if (!(d >= INT32_MIN && d <= INT32_MAX)) throw Error(6, "Overflow");
  return static_cast<int32_t>(d);
}

int RequireField(const RecordSet& rs, const char* name) {
  int i = rs.FieldIndex(name);
  if (i < 0) {
    throw Error(3265, std::string("MT_VBSTRUCTURE has no column ") + name + ".");
  }
  return i;
}

// "A, B" from a list of names.
std::string JoinNames(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& name : names) {
    if (!out.empty()) out += ", ";
    out += name;
  }
  return out;
}

}  // namespace

void LoadTableStructure(Connection& conn, RecordSet& structure, int n) {
  RecordSet query = conn.Query("SELECT * FROM MT_VBSTRUCTURE WHERE TABLE_NAME='TEMP_" +
                               std::to_string(n) + "' ORDER BY FIELD_ORDER");
  const int name_col = RequireField(query, "FIELD_NAME");
  const int type_col = RequireField(query, "FIELD_TYPE");
  const int size_col = RequireField(query, "FIELD_SIZE");
  const int64_t count = query.RecordCount();
  for (int64_t r = 0; r < count; ++r) {
    std::string name = UpperCase(Trim(query.At(r, name_col).ToDisplay()));
    structure.AppendField(std::move(name), StructureNumber(query.At(r, type_col)),
                          StructureNumber(query.At(r, size_col)), true);
  }
}

void LoadTableStructures(RunState& state) {
  // All five or none: a table that cannot be read leaves the others as they were.
  std::array<std::shared_ptr<RecordSet>, 6> loaded;
  for (int n = 1; n <= 5; ++n) {
    loaded[n] = std::make_shared<RecordSet>();
    LoadTableStructure(state.WorkConn, *loaded[n], n);
  }
  for (int n = 1; n <= 5; ++n) state.TempRecordset[n] = std::move(loaded[n]);
}

bool CheckFieldNames(RunState& state, int n) {
  TableInfo& table = state.Tables.at(static_cast<size_t>(n));
  const RecordSet& sheet = *state.SheetRecordset.at(static_cast<size_t>(n));
  const RecordSet& structure = *state.TempRecordset.at(static_cast<size_t>(n));
  table.StageOK = true;
  const std::string table_no = std::to_string(n);

  // Names compare exactly: both sides are upper case by construction.
  std::unordered_map<std::string, size_t> expected;
  for (size_t i = 0; i < structure.FieldCount(); ++i) {
    expected.emplace(structure.GetField(i).name, i);
  }
  std::vector<bool> found(structure.FieldCount(), false);
  std::vector<std::string> extra;
  for (const Field& f : sheet.fields()) {
    auto it = expected.find(f.name);
    if (it == expected.end()) {
      extra.push_back(f.name);
    } else {
      found[it->second] = true;
    }
  }

  std::vector<std::string> missing;
  for (size_t i = 0; i < structure.FieldCount(); ++i) {
    if (!found[i]) missing.push_back(structure.GetField(i).name);
  }
  table.Origin.missing_fields = missing;
  table.Origin.fields_row = 0;
  table.Origin.fields_sheet.clear();
  if (!missing.empty()) {
    // An .ods sheet is read whole for its shape: the window is served meanwhile.
    if (const std::optional<FieldNamesPlace> at =
            FindFieldNames(table.Origin, missing, state.KeepGoing())) {
      table.Origin.fields_row = at->row;
      if (at->sheet > 0) table.Origin.fields_sheet = at->sheet_name;
    }
    state.SetTableLabel(n,
                        "The " + JoinNames(missing) + " field(s) of Table " + table_no +
                            " is/are missing or misspelled.  ",
                        true);
    table.StageOK = false;
    return false;
  }
  table.Origin.extra_fields = extra;
  if (!extra.empty()) {
    state.SetTableLabel(n,
                        "The " + JoinNames(extra) + " field(s) of " + table_no +
                            " may have data, but should not be included in this table. ",
                        true);
    table.StageOK = false;
    return false;
  }
  state.SetTableLabel(n, "Field Names correct for Table " + table_no, false);
  table.TableStatus = stage::kFieldNames;
  return true;
}

}  // namespace sorvane
