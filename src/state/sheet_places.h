// Where the rows of a run came from, kept so that every problem can be traced
// back to the workbook cells that hold it: for each table the workbook row of
// every record read, the column of every field, what the import stages found
// wrong cell by cell, and for each temporary table the record behind every
// row the transfer added. All of it lives in memory for the run: a few bytes
// a row, nothing written to the work database.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane {

// The column letters of a place ("B", "D"), one list shared by every place
// that names the same columns: a check that flags a million rows names the
// same few columns in each of them.
class CellColumns {
 public:
  CellColumns() = default;
  CellColumns(std::vector<std::string> letters)  // NOLINT: a list of letters is one
      : letters_(letters.empty()
                     ? nullptr
                     : std::make_shared<const std::vector<std::string>>(std::move(letters))) {}
  CellColumns(std::initializer_list<std::string> letters)
      : CellColumns(std::vector<std::string>(letters)) {}
  // The letters of the columns (0 for "A"), in order, each once.
  static CellColumns Of(std::vector<int32_t> columns);

  bool empty() const { return !letters_; }
  size_t size() const { return letters_ ? letters_->size() : 0; }
  const std::string& front() const { return letters_->front(); }
  std::vector<std::string>::const_iterator begin() const { return list().begin(); }
  std::vector<std::string>::const_iterator end() const { return list().end(); }
  friend bool operator==(const CellColumns& a, const CellColumns& b) {
    return a.list() == b.list();
  }

 private:
  const std::vector<std::string>& list() const;
  std::shared_ptr<const std::vector<std::string>> letters_;
};

// A workbook's or a sheet's name, held once for all the places that name it:
// a check that flags a million rows names the same workbook in each.
class PlaceName {
 public:
  PlaceName() = default;
  PlaceName(std::string name)  // NOLINT: a name is one
      : name_(std::make_shared<const std::string>(std::move(name))) {}
  PlaceName(const char* name) : PlaceName(std::string(name)) {}  // NOLINT: as above
  const std::string& str() const;
  friend bool operator==(const PlaceName& a, const PlaceName& b) { return a.str() == b.str(); }

 private:
  std::shared_ptr<const std::string> name_;
};

// A place in a workbook: its file name, the worksheet, the row as a spreadsheet
// numbers it and the column letters meant (none: the row as a whole).
struct SheetPlace {
  PlaceName workbook;
  PlaceName sheet;
  int64_t row = 0;
  CellColumns cells;
  friend bool operator==(const SheetPlace&, const SheetPlace&) = default;
};

// One list of places for each of a run of rows, held end to end: a million
// lists of one place each are a million places, not a million lists.
class PlaceLists {
 public:
  // `rows` lists, each empty.
  explicit PlaceLists(size_t rows = 0) : ends_(rows, 0) {}
  size_t size() const { return ends_.size(); }
  std::span<const SheetPlace> operator[](size_t row) const;
  // Room for `places` places in all.
  void Reserve(size_t places) { places_.reserve(places); }
  // Add puts a place in the list being filled and EndList ends that list;
  // lists are filled in order, starting with none.
  void Add(SheetPlace place) { places_.push_back(std::move(place)); }
  void EndList() { ends_.push_back(places_.size()); }

 private:
  std::vector<SheetPlace> places_;
  std::vector<size_t> ends_;  // where each list ends in `places_`
};

// A place as a person reads it: "1234567_5.xls, Analytical Data, row 3806,
// cells B, C" (", cell B" for one; nothing for none).
std::string DescribePlace(const SheetPlace& place);

// "A" for column 0, "Z", "AA", ... as a spreadsheet names columns.
std::string ColumnLetters(int64_t column);

// One cell the data-type stage marked: the sheet record and the field.
struct CellMark {
  int32_t record = 0;
  int32_t field = 0;
};

// What one read of a table's workbook found out about its layout, and what
// the import stages found wrong in it. Reset by every read.
struct SheetOrigin {
  std::filesystem::path path;                 // the workbook as read
  uintmax_t file_size = 0;                    // its size and time then: a copy is marked only
  std::filesystem::file_time_type file_time;  // from the file the import read
  std::optional<std::string> password;        // the password that opened it
  bool exported_table = false;  // a text or a web page under a workbook's name, not a workbook
  int64_t header_row = 0;       // 0: nothing read
  // The sheet's fields in order. A field's values stand in the column of its
  // position (a blank header cell gives no field, so the values right of it
  // move one field left); its name stands in `header_columns`.
  std::vector<std::string> fields;
  std::vector<int32_t> header_columns;
  std::vector<std::string> header_texts;  // each field's header cell as typed
  std::vector<int32_t> record_rows;       // the workbook row of each sheet record

  // Findings of the stages, in the order they run.
  std::string duplicate_field;  // a field name given twice, with its header cells
  std::vector<int32_t> duplicate_columns;
  int64_t too_long_row = 0;  // a value too long for the sheet, and its column
  int32_t too_long_column = 0;
  std::vector<std::string> missing_fields;  // field-name stage
  std::vector<std::string> extra_fields;
  // Where the missing fields are named after all: a later row, or a row of a
  // later worksheet (that sheet's name); 0 where nowhere.
  int64_t fields_row = 0;
  std::string fields_sheet;
  std::vector<int32_t> wrong_id_records;  // records whose FAC_ID is not the facility's
  bool facility_unknown = false;          // the agency's sites lack the facility
  std::vector<CellMark> type_marks;       // data-type stage

  // The place of sheet record `record`, with the columns of `fields`.
  SheetPlace PlaceOf(const PlaceName& workbook, const PlaceName& sheet, int64_t record,
                     const std::vector<int32_t>& field_indexes) const;
  // The same with the columns already found (CellColumns::Of).
  SheetPlace PlaceOf(const PlaceName& workbook, const PlaceName& sheet, int64_t record,
                     CellColumns cells) const;
  // Index of a field by name (as the sheet names it); -1 when absent.
  int FieldIndex(std::string_view name) const;
};

// Which sheet record every row of one temporary table came from. The transfer
// fills an emptied table in record order, so the engine numbers the rows it
// adds one after another from `first_rowid` (the next rowid after the largest
// one left in the table). A main table adds one row per record, in order; a
// companion table adds one row per parameter present and says which.
struct TempRowSources {
  int table = 0;  // the workbook table, 1..5
  int64_t first_rowid = 0;
  int64_t rows = 0;  // rows added
  bool companion = false;
  std::vector<int32_t> records;     // companion: the record of each row added
  std::vector<uint8_t> parameters;  // companion: the parameter of each row added
  // Temporary-table column -> the sheet field whose values fill it.
  std::vector<std::pair<std::string, std::string>> column_fields;
  // Companion: the sheet field of each parameter, which fills VALUE.
  std::vector<std::string> parameter_fields;

  // The sheet record behind row `rowid` and, for a companion row, its
  // parameter; nothing for a row the transfer did not add.
  std::optional<int32_t> RecordOf(int64_t rowid) const;
  // The sheet field behind `column` of row `rowid` ("" when no workbook value
  // fills it: a flag set by the program, a fixed text).
  std::string FieldOf(std::string_view column, int64_t rowid) const;
};

}  // namespace sorvane
