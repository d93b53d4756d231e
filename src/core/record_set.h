// An in-memory record set: named, typed fields and rows of values, with a current
// row, a record count, a sort on one field and a simple filter. It serves as the
// rows read from a workbook, the typed rows of a table, the snapshot of a query
// and the source of every grid.
//
// Cells are stored column by column (a kind byte, eight payload bytes and the
// text bytes in one buffer per column), so a million-row sheet stays compact.
// A copy shares the columns of its original until either writes to one (a
// check's rows and the same rows with a rowid after them are held once).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/value.h"

namespace sorvane {

struct Field {
  std::string name;
  int type = 200;        // 3, 4, 5, 7, 129, 200 ...
  int defined_size = 0;  // characters for text fields
  bool nullable = true;
};

class RecordSet {
 public:
  // Structure. AppendField throws DuplicateFieldError when a field of the same
  // name (ignoring letter case) exists.
  void AppendField(std::string name, int type, int defined_size, bool nullable = true);
  size_t FieldCount() const { return fields_.size(); }
  const Field& GetField(size_t i) const { return fields_.at(i); }
  const std::vector<Field>& fields() const { return fields_; }
  // Index of a field by name, ignoring letter case; -1 when there is none.
  int FieldIndex(std::string_view name) const;

  // A record set is "open" once its rows may be used; a closed one keeps its fields.
  bool IsOpen() const { return open_; }
  void Open() { open_ = true; }
  void Close() { open_ = false; }

  // Visible rows (not deleted, passing the filter), in sort order.
  int64_t RecordCount() const { return static_cast<int64_t>(view_.size()); }
  void MoveFirst() { pos_ = 0; }
  void Move(int64_t n);
  void SetPosition(int64_t p) { pos_ = p; }

  // Appends a row of missing values and makes it current.
  void AddNew();
  // Deletes every row, keeps the fields.
  void Clear();
  // Removes fields and rows.
  void Reset();
  // Every value of one field becomes missing, and the memory the values took
  // is let go (a table of a million rows whose texts are no longer needed).
  void DropValues(size_t field);
  // A copy of every row without the last field (rows of a query that carried
  // one more column than its reader wants).
  RecordSet WithoutLastField() const;

  // Current row. Throw Error 3021 when there is no current row.
  Value GetValue(size_t field) const;
  Value GetValue(std::string_view name) const;
  std::string_view GetText(size_t field) const;  // "" unless the value is a text
  bool IsMissing(size_t field) const;
  // Throws ValueTooLongError when a text exceeds a variable-length field's size.
  void SetValue(size_t field, const Value& v);
  void SetValue(std::string_view name, const Value& v);
  // The same into visible row `row` (0-based), leaving the current row as it
  // is: two threads may fill different fields of the same rows at once.
  void SetValueAt(int64_t row, size_t field, const Value& v);
  // SetValue and SetValueAt with a text value, stored without making one.
  void SetText(size_t field, std::string_view text) { SetTextAt(pos_, field, text); }
  void SetTextAt(int64_t row, size_t field, std::string_view text);

  // Where visible row `row` (0-based) was added among all rows, whatever the
  // sort and filter: 0 for the first row added.
  int64_t AddedAt(int64_t row) const { return view_.at(static_cast<size_t>(row)); }
  // The text of the row added `added`-th (as AddedAt counts), whatever the
  // sort and filter; "" for a value that is no text or a row never added.
  std::string_view TextOfAdded(int64_t added, size_t field) const;
  // Random access to visible row `row` (0-based), for grids and reports.
  Value At(int64_t row, size_t field) const;
  std::string_view TextAt(int64_t row, size_t field) const;

  // Sorts ascending on one field (missing first, text ignoring case); a stable
  // sort, so equal keys keep their order. An empty name restores insertion order.
  // Throws Error when the field does not exist.
  void Sort(std::string_view field_name);
  const std::string& SortField() const { return sort_field_; }
  // Whether every row shows, in the order added (no sort, no filter).
  bool InOrderAdded() const { return sort_field_.empty() && filter_field_ < 0; }
  // A copy showing every row in the order added; it shares the cells.
  RecordSet AllInOrderAdded() const;
  // "FIELD =value" (value optionally in single quotes) keeps the rows whose
  // displayed value equals the value; an empty expression removes the filter.
  void SetFilter(std::string_view expression);
  void ClearFilter() { SetFilter(""); }

  // Bytes held by the cells (for reports of memory use).
  size_t MemoryUse() const;

 private:
  struct Column {
    std::vector<uint8_t> kind;
    // May be shorter than `kind`: a missing cell's payload is never read, and
    // a stored value grows it to the rows first.
    std::vector<int64_t> data;
    std::string arena;
    // Grows `data` to the rows before a value is stored: by one as rows are
    // added and filled one by one (the common case, kept cheap).
    void GrowPayloads() {
      if (data.size() + 1 == kind.size()) {
        data.push_back(0);
      } else if (data.size() < kind.size()) {
        data.resize(kind.size(), 0);
      }
    }
  };
  // Column f, made the record set's own first when a copy shares it (inline:
  // every cell an import stores comes through here).
  Column& Writable(size_t f) {
    std::shared_ptr<Column>& c = columns_.at(f);
    if (c.use_count() > 1) [[unlikely]]
      c = std::make_shared<Column>(*c);
    return *c;
  }
  uint32_t CurrentRow() const;
  Value CellValue(uint32_t row, size_t field) const;
  std::string_view CellText(uint32_t row, size_t field) const;
  void StoreCell(uint32_t row, size_t field, const Value& v);
  void StoreText(uint32_t row, size_t field, std::string_view text);
  void RebuildView();

  std::vector<Field> fields_;
  std::vector<std::shared_ptr<Column>> columns_;  // never null
  std::vector<uint8_t> deleted_;
  std::vector<uint32_t> view_;
  uint32_t rows_ = 0;
  int64_t pos_ = -1;
  bool open_ = false;
  std::string sort_field_;
  int filter_field_ = -1;
  std::string filter_value_;
};

}  // namespace sorvane
