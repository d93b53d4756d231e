#include "import/facility_ids.h"

#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

// The records whose FAC_ID the filter "FAC_ID =<id>" leaves out: texts are
// compared ignoring letter case, with the ID trimmed and unquoted as the
// filter reads it.
std::vector<int32_t> RecordsWithOtherIds(const RecordSet& sheet, std::string_view facility_id) {
  std::string_view id = Trim(facility_id);
  if (id.size() >= 2 && id.front() == '\'' && id.back() == '\'') id = id.substr(1, id.size() - 2);
  const int field = sheet.FieldIndex("FAC_ID");
  std::vector<int32_t> records;
  for (int64_t r = 0; r < sheet.RecordCount(); ++r) {
    if (field < 0 || id.empty() || sheet.At(r, static_cast<size_t>(field)).IsMissing() ||
        !EqualsNoCase(sheet.TextAt(r, static_cast<size_t>(field)), id)) {
      records.push_back(static_cast<int32_t>(r));
    }
  }
  return records;
}

}  // namespace

int64_t CountSitesEndingWith(Connection& conn, std::string_view facility_id) {
  // LIKE with an escaped pattern keeps the engine's letter-case rule for the
  // match while '%' and '_' inside the ID stand for themselves.
  std::string pattern = "%";
  for (char c : facility_id) {
    if (c == '\\' || c == '%' || c == '_') pattern += '\\';
    pattern += c;
  }
  Value count = conn.QueryValue("SELECT COUNT(*) FROM T_SITE WHERE SITE LIKE ?1 ESCAPE '\\'",
                                {Value::Text(pattern)});
  return static_cast<int64_t>(count.ToDouble());
}

bool CheckRowFacilityIDs(RunState& state, int n, const std::string& facility_id) {
  TableInfo& table = state.Tables.at(static_cast<size_t>(n));
  RecordSet& sheet = *state.SheetRecordset.at(static_cast<size_t>(n));
  table.StageOK = true;

  const int64_t total = sheet.RecordCount();
  int64_t matching = -1;
  try {
    sheet.SetFilter("FAC_ID =" + facility_id);
    matching = sheet.RecordCount();
  } catch (const Error&) {
    // An ID the filter cannot express (all blanks) matches no row.
  }
  sheet.ClearFilter();
  if (matching != total) {
    table.Origin.wrong_id_records = RecordsWithOtherIds(sheet, facility_id);
    table.StageOK = false;
    state.SetTableLabel(n, "Problem with FAC IDs", true);
    return false;
  }

  LabelState& label = state.StatusLabel(n);
  state.SetTableLabel(n, "FAC IDs OK and " + label.caption, label.highlighted);
  int64_t sites = 0;
  try {
    sites = CountSitesEndingWith(state.WorkConn, facility_id);
  } catch (const Error& e) {
    state.ui.MessageBox(e.NumberDescription());
    table.StageOK = false;
    SetHighlight(label, true);
    state.Refresh();
    return false;
  }
  if (sites == 0) {
    table.Origin.facility_unknown = true;
    table.StageOK = false;
    state.SetTableLabel(n, "FAC ID not in Main Database", true);
    return false;
  }
  table.TableStatus = stage::kFacilityIds;
  return true;
}

}  // namespace sorvane
