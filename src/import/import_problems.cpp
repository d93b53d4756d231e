#include "import/import_problems.h"

#include <cstdint>
#include <optional>

#include "core/convert.h"
#include "core/near_text.h"
#include "core/text.h"
#include "import/readers/cell_text.h"
#include "import/readers/number_format.h"
#include "import/value_readings.h"

namespace sorvane {
namespace {

std::string Quoted(std::string_view text) { return "\"" + ForReading(text) + "\""; }

// The field of the table's structure named `field`, or null.
const Field* StructureField(const RecordSet* structure, const std::string& field) {
  const int f = structure != nullptr ? structure->FieldIndex(field) : -1;
  return f < 0 ? nullptr : &structure->GetField(static_cast<size_t>(f));
}

// What a field of the table's structure must hold, after "is not ".
std::string TypeWanted(const Field* def) {
  if (def == nullptr) return "of the right type";
  switch (def->type) {
    case kTypeInteger:
      return "a whole number";
    case kTypeSingle:
      return "a number";
    case kTypeDate:
      return "a date";
    default:
      return "text of at most " + std::to_string(def->defined_size) + " characters";
  }
}

// " (it is "7" with a non-breaking space after it)" for a value quoted in a
// problem's text that has unseen characters at an end; "" for one without (a
// blank shows between the quotes: not said).
std::string UnseenSaid(std::string_view value) {
  const Unwrapped u = Unwrap(value);
  if (u.said.empty() || u.core.empty() || u.said.starts_with("with a space")) return "";
  return " (it is " + Quoted(u.core) + " " + u.said + ")";
}

// For a concentration or MDL written with its units after it ("5 mg/L",
// "0.5ug/l"), or a concentration with the laboratory's qualifier ("5 J"):
// each has a field of its own. "" for any other value.
std::string UnitsSaid(int n, const std::string& field, std::string_view value) {
  if (n != 5 || (field != "CONC" && field != "MDL")) return "";
  if (const std::optional<NumberAnd> said = WithUnits(value)) {
    return " The units go in UNITS: " + said->number + " in " + field + ", " +
           ForReading(said->after, 40) + " in UNITS.";
  }
  if (const std::optional<NumberAnd> said = field == "CONC" ? WithQualifier(value) : std::nullopt) {
    return " The laboratory's qualifier goes in LAB_Q: " + said->number + " in CONC, " +
           said->after + " in LAB_Q.";
  }
  return "";
}

// How a result below its detection limit is written, for a concentration a
// laboratory wrote its own way ("<0.5", "ND"): as the limit, in CONC and MDL,
// with the qualifier U (the rule of the results' check "MDL = CONC, if LAB_Q =
// U"). "" for any other value or field.
std::string NonDetectSaid(int n, const std::string& field, std::string_view value) {
  if (n != 5 || field != "CONC") return "";
  if (const std::optional<std::string> limit = BelowLimit(value)) {
    return " A result below its detection limit is written as the limit: " + *limit +
           " in CONC and MDL, U in LAB_Q.";
  }
  if (SaidNotDetected(value)) {
    return " A result not detected is written as its detection limit in CONC and MDL, with U "
           "in LAB_Q.";
  }
  return "";
}

// " It is a number, ..." for a number in a date field: a cell whose date is
// stored but shown as a number (the column formatted as General), which the
// spreadsheet shows as a date once formatted so. "" for any other value.
std::string SerialSaid(int type, const std::string& value) {
  if (type != kTypeDate) return "";
  const std::optional<double> serial = DateSerial(value);
  if (!serial) return "";
  std::string date;
  readers::AppendNumberText(*serial, true, false, date);
  return " It is a number, which the spreadsheet shows as " + date +
         " when the cell is formatted as a date.";
}

// " It reads as a date written day first, ..." for a date in a date field
// whose first number can only be a day ("30/6/2002", "30.06.02"): the
// workbooks write dates month first, and the column's other dates, whose day
// is 12 or less, were then read month first. "" for any other value.
std::string DayFirstSaid(int type, const std::string& value) {
  if (type != kTypeDate) return "";
  // Day, month and year between two of one separator, the day above 12.
  const std::string_view v = Trim(value);
  const size_t first = v.find_first_of("/.-");
  const size_t second = first == std::string_view::npos ? first : v.find(v[first], first + 1);
  if (second == std::string_view::npos) return "";
  const std::string_view day = v.substr(0, first), month = v.substr(first + 1, second - first - 1),
                         year = v.substr(second + 1);
  const auto digits = [](std::string_view s, size_t most) {
    return !s.empty() && s.size() <= most &&
           s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  // A day above 12 has two digits.
  if (!digits(day, 2) || day.size() != 2 || day < "13" || !digits(month, 2) || !digits(year, 4) ||
      year.size() == 3)
    return "";
  // The date it is, month first, as the field reads it (its two-digit years too).
  const std::optional<Value> date = ConvertText(
      std::string(month) + "/" + std::string(day) + "/" + std::string(year), kTypeDate, 0);
  if (!date || date->IsMissing()) return "";
  const Date& d = date->AsDate();
  return " It reads as a date written day first, " +
         readers::NumberFormat("d mmmm yyyy").Render(d.ToSerial(), false) +
         ": the workbooks write dates month first, as " + d.ToShortDate() +
         ", and the column's other dates may be written day first too.";
}

// " It reads as 0.5 written with a decimal comma, ..." for a number of a
// number field written with a comma for its point ("0,5", "-12,25"). A comma
// before three digits ("1,250") may group thousands instead: not said.
std::string DecimalCommaSaid(int type, const std::string& value) {
  if (type != kTypeSingle && type != kTypeInteger) return "";
  std::string_view v = Trim(value);
  const bool minus = v.starts_with('-');
  if (minus) v.remove_prefix(1);
  const size_t comma = v.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma + 1 == v.size()) return "";
  const std::string_view whole = v.substr(0, comma), decimals = v.substr(comma + 1);
  const auto digits = [](std::string_view s) {
    return s.size() <= 15 && s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(whole) || !digits(decimals) || (decimals.size() == 3 && whole != "0")) return "";
  const std::string number = (minus ? "-" : "") + std::string(whole) + "." + std::string(decimals);
  return " It reads as " + number + " written with a decimal comma: the workbooks write a point, " +
         "as " + number + ".";
}

// For an ID that is the facility's without its leading zeros ("123456" for
// 0123456): a spreadsheet keeps an ID typed into a General cell as a number,
// and a number has no leading zeros. "" for any other ID.
std::string LeadingZerosSaid(const std::string& id, const std::string& facility) {
  const size_t zeros = LeadingZerosLost(id, facility);
  if (zeros == 0) return "";
  return std::string(" It is the facility's ID without its leading ") +
         (zeros > 1 ? "zeros" : "zero") +
         ", as a spreadsheet keeps an ID typed as a number: format the column as text and type "
         "the ID again.";
}

// The text a person typed, without the marks the data-type stage put round it.
std::string Unmarked(std::string_view marked) {
  if (marked.starts_with("**")) marked.remove_prefix(2);
  if (marked.ends_with("**")) marked.remove_suffix(2);
  return std::string(marked);
}

// "Row 9, PH: "seven" is not a number."
std::string DataTypeText(const RunState& state, int n, const CellMark& mark) {
  const TableInfo& info = state.Tables[static_cast<size_t>(n)];
  const SheetOrigin& o = info.Origin;
  const std::string field =
      static_cast<size_t>(mark.field) < o.fields.size() ? o.fields[mark.field] : "";
  const RecordSet* sheet = state.SheetRecordset[static_cast<size_t>(n)].get();
  // By the order read: the table view may have sorted or filtered the rows.
  const std::string value =
      sheet != nullptr && mark.field >= 0
          ? Unmarked(sheet->TextOfAdded(mark.record, static_cast<size_t>(mark.field)))
          : "";
  const int64_t row = o.PlaceOf({}, {}, mark.record, CellColumns()).row;
  const Field* def = StructureField(state.TempRecordset[static_cast<size_t>(n)].get(), field);
  const int type = def != nullptr ? def->type : -1;
  return "Row " + std::to_string(row) + ", " + field + ": " + Quoted(value) + " is not " +
         TypeWanted(def) + UnseenSaid(value) + "." + UnitsSaid(n, field, value) +
         NonDetectSaid(n, field, value) + SerialSaid(type, value) + DayFirstSaid(type, value) +
         DecimalCommaSaid(type, value);
}

}  // namespace

int NearHeader(const SheetOrigin& o, const RecordSet* structure, const std::string& field) {
  auto is_field = [structure](const std::string& name) {
    for (size_t f = 0; structure != nullptr && f < structure->FieldCount(); ++f) {
      if (EqualsNoCase(structure->GetField(f).name, name)) return true;
    }
    return false;
  };
  const std::string key = NearKey(field);
  size_t best = SIZE_MAX;
  int found = -1;
  bool tie = false;
  for (size_t i = 0; i < o.fields.size() && i < o.header_columns.size(); ++i) {
    if (is_field(o.fields[i])) continue;
    const size_t d = NearDistance(key, NearKey(o.fields[i]), best);
    if (d == SIZE_MAX) continue;
    tie = d == best;
    if (d < best) found = static_cast<int>(i);
    best = d;
  }
  return tie ? -1 : found;
}

std::string MarkedCellProblem(const RunState& state, int n, int64_t record, int field) {
  if (n < 1 || n > 5) return "";
  for (const CellMark& mark : state.Tables[static_cast<size_t>(n)].Origin.type_marks) {
    if (mark.record == record && mark.field == field) return DataTypeText(state, n, mark);
  }
  return "";
}

std::vector<ImportProblem> ImportProblemsOf(const RunState& state, int n, size_t limit,
                                            size_t* count) {
  std::vector<ImportProblem> out;
  size_t unmade = 0;  // counted past the limit, not worded
  if (count != nullptr) *count = 0;
  if (n < 1 || n > 5) return out;
  // The lists of a row each (a million results may all be marked) are worded
  // only while there is room.
  auto room = [&] {
    if (out.size() < limit) return true;
    ++unmade;
    return false;
  };
  const TableInfo& info = state.Tables[static_cast<size_t>(n)];
  const SheetOrigin& o = info.Origin;
  const std::string table = "Table " + std::to_string(n);
  const PlaceName workbook(info.WorkbookName), sheet_name(info.SheetName);
  auto place = [&](int64_t row, std::vector<int32_t> columns) {
    std::vector<std::string> letters;
    for (int32_t c : columns) letters.push_back(ColumnLetters(c));
    return SheetPlace{workbook, sheet_name, row, std::move(letters)};
  };

  if (!o.duplicate_field.empty()) {
    out.push_back({"field_name",
                   o.duplicate_field + " appears to be duplicated.",
                   {place(o.header_row, o.duplicate_columns)}});
  }
  if (o.too_long_row > 0) {
    out.push_back({"value_too_long",
                   "The value in row " + std::to_string(o.too_long_row) + ", column " +
                       ColumnLetters(o.too_long_column) + " of " + table +
                       " appears to be longer than the allowed length.",
                   {place(o.too_long_row, {o.too_long_column})}});
  }
  if (o.fields_row > 0) {
    // Said first: it explains every missing field after it.
    const std::string row = "row " + std::to_string(o.fields_row);
    const std::string rows_above = "delete the rows above " + row + ", ";
    std::string text;
    if (o.fields_sheet.empty()) {
      text = table + "'s field names are in " + row + " of " + info.WorkbookName +
             ", but the import takes the first row of the worksheet for them: " + rows_above;
    } else {
      text = table + "'s field names are " + (o.fields_row > 1 ? "in " + row + " of" : "on") +
             " the worksheet " + Quoted(o.fields_sheet) + " of " + info.WorkbookName +
             ", but only its first worksheet, " + Quoted(info.SheetName) + ", is imported: move " +
             Quoted(o.fields_sheet) + " to the front, " + (o.fields_row > 1 ? rows_above : "");
    }
    out.push_back({"field_name",
                   text + (o.exported_table ? "save the file" : "save the workbook") +
                       " and import " + table + " again.",
                   {place(o.header_row, {})}});
  }
  for (const std::string& field : o.missing_fields) {
    std::string text = "The " + field + " field of " + table + " is missing or misspelled.";
    SheetPlace at = place(o.header_row, {});
    for (size_t i = 0; i < o.fields.size() && i < o.header_columns.size(); ++i) {
      const Unwrapped name = Unwrap(o.fields[i]);
      if (name.said.empty() || name.core.empty() || !EqualsNoCase(name.core, field)) continue;
      at = place(o.header_row, {o.header_columns[i]});
      text += " Its header cell " + ColumnLetters(o.header_columns[i]) +
              std::to_string(o.header_row) + " holds the name " + name.said + ".";
      break;
    }
    if (const int i = at.cells.empty()
                          ? NearHeader(o, state.TempRecordset[static_cast<size_t>(n)].get(), field)
                          : -1;
        i >= 0) {
      const auto k = static_cast<size_t>(i);
      at = place(o.header_row, {o.header_columns[k]});
      text += " Its header cell " + ColumnLetters(o.header_columns[k]) +
              std::to_string(o.header_row) + " holds " +
              Quoted(k < o.header_texts.size() ? o.header_texts[k] : o.fields[k]) + ".";
    }
    out.push_back({"field_name", std::move(text), {std::move(at)}});
  }
  // Extra fields count only where none is missing, as the stage says.
  for (size_t i = 0; o.missing_fields.empty() && i < o.extra_fields.size(); ++i) {
    const int f = o.FieldIndex(o.extra_fields[i]);
    out.push_back({"field_name",
                   "The " + o.extra_fields[i] + " field may have data, but should not be " +
                       "included in " + table + ".",
                   {place(o.header_row, f >= 0 ? std::vector<int32_t>{o.header_columns[f]}
                                               : std::vector<int32_t>{})}});
  }
  const RecordSet* sheet = state.SheetRecordset[static_cast<size_t>(n)].get();
  auto sheet_text = [&](int64_t record, int field) -> std::string {
    if (sheet == nullptr || field < 0) return "";
    return std::string(sheet->TextOfAdded(record, static_cast<size_t>(field)));
  };
  const int fac = o.FieldIndex("FAC_ID");
  for (int32_t record : o.wrong_id_records) {
    if (!room()) continue;
    const SheetPlace p = o.PlaceOf(workbook, sheet_name, record,
                                   fac >= 0 ? std::vector<int32_t>{fac} : std::vector<int32_t>{});
    const std::string id = sheet_text(record, fac);
    out.push_back({"facility_id",
                   "Row " + std::to_string(p.row) + ": FAC_ID " + Quoted(id) +
                       " is not the facility's ID " + state.FacilityID + UnseenSaid(id) + "." +
                       LeadingZerosSaid(id, state.FacilityID),
                   {p}});
  }
  if (o.facility_unknown) {
    out.push_back({"facility_id", "FAC ID not in Main Database", {}});
  }
  for (const CellMark& mark : o.type_marks) {
    if (!room()) continue;
    out.push_back({"data_type",
                   DataTypeText(state, n, mark),
                   {o.PlaceOf(workbook, sheet_name, mark.record, {mark.field})}});
  }
  for (int64_t row : info.SkippedRows) {
    if (!room()) continue;
    out.push_back({"skipped_row",
                   "Row " + std::to_string(row) + " skipped: its first cell is empty.",
                   {place(row, {0})},
                   1});
  }
  if (out.size() > limit) {
    unmade += out.size() - limit;
    out.resize(limit);
  }
  if (count != nullptr) *count = out.size() + unmade;
  return out;
}

}  // namespace sorvane
