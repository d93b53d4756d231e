#include "accessfile/access_file.h"

#include <mdbtools.h>

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

// The longest text or memo value read whole, in bytes; libmdb cuts longer
// ones, which the reader refuses rather than pass on cut. libmdb allocates a
// buffer of this size for every value it renders, so it stays small enough to
// come from the heap rather than from a mapping of its own.
constexpr size_t kBindSize = size_t{1} << 16;

MdbHandle* Handle(void* p) { return static_cast<MdbHandle*>(p); }

SourceKind KindOf(int col_type) {
  switch (col_type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
      return SourceKind::kInteger;
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
      return SourceKind::kReal;
    case MDB_DATETIME:
      return SourceKind::kDate;
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
      return SourceKind::kText;
    default:  // OLE objects, binary data, attachments and multiple values
      return SourceKind::kBinary;
  }
}

// Columns whose values libmdb renders as text; the others are decoded from
// the row's bytes (libmdb's rendering of dates and floating numbers loses
// what the program needs).
bool ReadAsText(int col_type) {
  return col_type == MDB_BOOL || col_type == MDB_TEXT || col_type == MDB_MEMO ||
         col_type == MDB_REPID || col_type == MDB_NUMERIC;
}

uint64_t Little(const unsigned char* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

// A single-precision number as the shortest decimal that reads back as it, so
// a stored 0.1f arrives as 0.1 and not as 0.100000001490116.
double FromSingle(float f) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
  double d = f;
  if (ec == std::errc()) std::from_chars(buf, end, d);
  return d;
}

// The fixed-size value of `col` in the current row, from the page it lies on.
Value RawValue(MdbHandle* mdb, const MdbColumn& col) {
  int size = 0;
  switch (col.col_type) {
    case MDB_BYTE:
      size = 1;
      break;
    case MDB_INT:
      size = 2;
      break;
    case MDB_LONGINT:
    case MDB_FLOAT:
      size = 4;
      break;
    default:  // money, double, date
      size = 8;
  }
  const long page = static_cast<long>(mdb->fmt->pg_size);
  if (col.cur_value_start < 0 || col.cur_value_len < size || col.cur_value_start + size > page ||
      page > static_cast<long>(MDB_PGSIZE)) {
    throw Error(3343, std::string("a damaged value in column ") + col.name);
  }
  const unsigned char* p = mdb->pg_buf + col.cur_value_start;
  const uint64_t bits = Little(p, size);
  switch (col.col_type) {
    case MDB_BYTE:
      return Value::Integer(static_cast<int64_t>(bits));
    case MDB_INT:
      return Value::Integer(static_cast<int16_t>(bits));
    case MDB_LONGINT:
      return Value::Integer(static_cast<int32_t>(bits));
    case MDB_MONEY:
      return Value::Real(static_cast<double>(static_cast<int64_t>(bits)) / 10000.0);
    case MDB_FLOAT: {
      float f = 0;
      const uint32_t b32 = static_cast<uint32_t>(bits);
      std::memcpy(&f, &b32, sizeof f);
      return Value::Real(FromSingle(f));
    }
    default: {
      double d = 0;
      std::memcpy(&d, &bits, sizeof d);
      if (col.col_type == MDB_DOUBLE) return Value::Real(d);
      std::optional<Date> date = AccessDate(d);
      if (!date) {
        throw Error(3343,
                    std::string("a date outside the years 100 to 9999 in column ") + col.name);
      }
      return Value::FromDate(*date);
    }
  }
}

}  // namespace

std::optional<Date> AccessDate(double stored) {
  if (!std::isfinite(stored)) return std::nullopt;
  const double whole = std::trunc(stored);
  return Date::FromSerial(whole + std::fabs(stored - whole));
}

std::unique_ptr<AccessFile> AccessFile::Open(const std::filesystem::path& file) {
  MdbHandle* mdb = mdb_open(file.c_str(), MDB_NOFLAGS);
  if (mdb == nullptr) {
    throw DatabaseOpenError("it is not an Access database, or its first page is damaged");
  }
  std::unique_ptr<AccessFile> opened(new AccessFile(mdb));
  mdb_set_bind_size(mdb, kBindSize);
  mdb_set_boolean_fmt_numbers(mdb);
  if (mdb_read_catalog(mdb, MDB_TABLE) == nullptr || mdb->catalog == nullptr) {
    throw DatabaseOpenError("its list of tables cannot be read");
  }
  return opened;
}

AccessFile::~AccessFile() { mdb_close(Handle(mdb_)); }

std::vector<std::string> AccessFile::TableNames() const {
  std::vector<std::string> names;
  GPtrArray* catalog = Handle(mdb_)->catalog;
  for (guint i = 0; i < catalog->len; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
    if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
      names.push_back(ValidUtf8(entry->object_name));
  }
  return names;
}

bool AccessFile::ReadTable(const std::string& name,
                           const std::function<void(const std::vector<SourceColumn>&)>& on_columns,
                           const std::function<void(const std::vector<Value>&)>& on_row) {
  MdbHandle* mdb = Handle(mdb_);
  MdbCatalogEntry* entry = nullptr;
  for (guint i = 0; i < mdb->catalog->len && entry == nullptr; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (e->object_type == MDB_TABLE && mdb_is_user_table(e) &&
        EqualsNoCase(ValidUtf8(e->object_name), name))
      entry = e;
  }
  if (entry == nullptr) return false;

  std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(mdb_read_table(entry),
                                                             mdb_free_tabledef);
  // libmdb cracks a row into a fixed array of MDB_MAX_COLS fields.
  if (!table || table->num_cols > MDB_MAX_COLS || mdb_read_columns(table.get()) == nullptr ||
      table->columns == nullptr || table->columns->len < table->num_cols) {
    throw Error(3343, "the definition of table " + name + " cannot be read");
  }
  const guint n = table->num_cols;
  std::vector<SourceColumn> columns;
  std::vector<MdbColumn*> cols;
  std::vector<std::vector<char>> text(n);
  std::vector<int> length(n, 0);
  for (guint i = 0; i < n; ++i) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    cols.push_back(col);
    columns.push_back({ValidUtf8(col->name), KindOf(col->col_type)});
    if (ReadAsText(col->col_type)) {
      text[i].assign(kBindSize + 1, '\0');
      mdb_bind_column(table.get(), static_cast<int>(i) + 1, text[i].data(), &length[i]);
    }
  }
  on_columns(columns);

  std::vector<Value> row(n);
  unsigned int read = 0;
  mdb_rewind_table(table.get());
  while (mdb_fetch_row(table.get())) {
    for (guint i = 0; i < n; ++i) {
      const MdbColumn& col = *cols[i];
      if (columns[i].kind == SourceKind::kBinary) {
        row[i] = Value();
      } else if (!ReadAsText(col.col_type)) {
        row[i] = col.cur_value_len == 0 ? Value() : RawValue(mdb, col);
      } else {
        const size_t len =
            std::min(static_cast<size_t>(std::max(length[i], 0)), std::strlen(text[i].data()));
        if (len >= kBindSize - 1) {
          throw Error(3343, "a value longer than " + std::to_string(kBindSize - 1) +
                                " bytes in column " + columns[i].name);
        }
        const std::string_view shown(text[i].data(), len);
        if (col.col_type == MDB_BOOL) {
          row[i] = Value::Integer(shown == "1" ? 1 : 0);
        } else if (col.cur_value_len == 0) {
          row[i] = Value();
        } else if (col.col_type == MDB_NUMERIC) {
          double d = 0;
          auto [end, ec] = std::from_chars(shown.data(), shown.data() + shown.size(), d);
          row[i] = ec == std::errc() && end == shown.data() + shown.size()
                       ? Value::Real(d)
                       : Value::Text(ValidUtf8(shown));
        } else {
          row[i] = Value::Text(ValidUtf8(shown));
        }
      }
    }
    on_row(row);
    ++read;
  }
  // libmdb ends a table quietly at a page it cannot read; the count kept in
  // the table's definition tells a whole table from a cut one.
  if (read != table->num_rows) {
    throw Error(3343, "table " + name + " should hold " + std::to_string(table->num_rows) +
                          " rows but " + std::to_string(read) +
                          " could be read: the file is damaged or incomplete");
  }
  return true;
}

}  // namespace sorvane
