#include "core/record_set.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

// A text cell's payload: the text's offset in its column's arena and its
// length, or, for a text of up to seven bytes, the text itself (in the low
// bytes) and its length in the top byte, whose top bit no offset reaches. Most
// cells of a sheet are short (IDs, codes, units, qualifiers), and a million
// rows of them would otherwise take their bytes twice over.
constexpr int kLenBits = 24;
constexpr int64_t kMaxLen = (int64_t{1} << kLenBits) - 1;
constexpr size_t kInlineMax = 7;
constexpr uint64_t kInline = uint64_t{1} << 63;
static_assert(std::endian::native == std::endian::little, "inline texts fill the low bytes");

int64_t DoubleBits(double d) {
  int64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}
double BitsDouble(int64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

[[noreturn]] void NoCurrentRecord() {
  throw Error(3021,
              "Either BOF or EOF is True, or the current record has been deleted. Requested "
              "operation requires a current record.");
}

}  // namespace

void RecordSet::AppendField(std::string name, int type, int defined_size, bool nullable) {
  if (FieldIndex(name) >= 0) {
    throw DuplicateFieldError(name, "Object is already in collection. Cannot append.");
  }
  fields_.push_back(Field{std::move(name), type, defined_size, nullable});
  auto c = std::make_shared<Column>();
  c->kind.assign(rows_, static_cast<uint8_t>(Value::Kind::kMissing));
  columns_.push_back(std::move(c));
}

int RecordSet::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (EqualsNoCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

void RecordSet::Move(int64_t n) {
  pos_ += n;
  if (pos_ < -1) pos_ = -1;
  if (pos_ > RecordCount()) pos_ = RecordCount();
}

void RecordSet::AddNew() {
  // Payloads are grown only by a field's first value: a million new rows
  // cost a byte a field until their values come.
  for (auto& c : columns_) {
    if (c.use_count() > 1) [[unlikely]]
      c = std::make_shared<Column>(*c);
    c->kind.push_back(static_cast<uint8_t>(Value::Kind::kMissing));
  }
  deleted_.push_back(0);
  view_.push_back(rows_);
  ++rows_;
  pos_ = RecordCount() - 1;
}

void RecordSet::Clear() {
  // Fresh columns let the memory go (or leave it to a copy that shares it).
  for (auto& c : columns_) c = std::make_shared<Column>();
  deleted_.clear();
  view_.clear();
  rows_ = 0;
  pos_ = -1;
}

void RecordSet::DropValues(size_t field) {
  std::shared_ptr<Column>& c = columns_.at(field);
  auto missing = std::make_shared<Column>();
  missing->kind.assign(c->kind.size(), static_cast<uint8_t>(Value::Kind::kMissing));
  c = std::move(missing);
}

RecordSet RecordSet::WithoutLastField() const {
  RecordSet copy = *this;
  if (!copy.fields_.empty()) {
    if (copy.filter_field_ == static_cast<int>(copy.fields_.size()) - 1) copy.SetFilter("");
    if (EqualsNoCase(copy.sort_field_, copy.fields_.back().name)) copy.Sort("");
    copy.fields_.pop_back();
    copy.columns_.pop_back();
  }
  copy.MoveFirst();
  return copy;
}

void RecordSet::Reset() {
  Clear();
  fields_.clear();
  columns_.clear();
  sort_field_.clear();
  filter_field_ = -1;
  filter_value_.clear();
  open_ = false;
}

uint32_t RecordSet::CurrentRow() const {
  if (pos_ < 0 || pos_ >= RecordCount()) NoCurrentRecord();
  return view_[static_cast<size_t>(pos_)];
}

Value RecordSet::CellValue(uint32_t row, size_t f) const {
  const Column& c = *columns_.at(f);
  const auto kind = static_cast<Value::Kind>(c.kind[row]);
  if (kind == Value::Kind::kMissing) return Value();  // its payload may be gone
  const int64_t d = c.data[row];
  switch (kind) {
    case Value::Kind::kMissing:
      return Value();
    case Value::Kind::kInteger:
      return Value::Integer(d);
    case Value::Kind::kReal:
      return Value::Real(BitsDouble(d));
    case Value::Kind::kDate:
      return Value::FromDate(Date::FromTicks(d));
    case Value::Kind::kText:
      return Value::Text(std::string(CellText(row, f)));
  }
  return Value();
}

std::string_view RecordSet::CellText(uint32_t row, size_t f) const {
  const Column& c = *columns_.at(f);
  if (static_cast<Value::Kind>(c.kind[row]) != Value::Kind::kText) return {};
  const uint64_t d = static_cast<uint64_t>(c.data[row]);
  if (d & kInline) {
    return std::string_view(reinterpret_cast<const char*>(&c.data[row]), (d >> 56) & 0x7F);
  }
  const size_t off = static_cast<size_t>(d >> kLenBits);
  const size_t len = static_cast<size_t>(d & kMaxLen);
  return std::string_view(c.arena).substr(off, len);
}

void RecordSet::StoreCell(uint32_t row, size_t f, const Value& v) {
  if (v.kind() == Value::Kind::kText) return StoreText(row, f, v.AsText());
  Column& c = Writable(f);
  c.GrowPayloads();
  c.kind[row] = static_cast<uint8_t>(v.kind());
  switch (v.kind()) {
    case Value::Kind::kMissing:
      c.data[row] = 0;
      break;
    case Value::Kind::kInteger:
      c.data[row] = v.AsInteger();
      break;
    case Value::Kind::kReal:
      c.data[row] = DoubleBits(v.AsReal());
      break;
    case Value::Kind::kDate:
      c.data[row] = v.AsDate().Ticks();
      break;
    case Value::Kind::kText:
      break;  // stored above
  }
}

void RecordSet::StoreText(uint32_t row, size_t f, std::string_view t) {
  if (static_cast<int64_t>(t.size()) > kMaxLen) {
    throw ValueTooLongError("The value is too long for the record set.");
  }
  // A short text is copied out before the payloads may move: `t` may be a
  // text of this column.
  const bool in_cell = t.size() <= kInlineMax;
  uint64_t d = kInline | uint64_t{t.size()} << 56;
  if (in_cell && !t.empty()) std::memcpy(&d, t.data(), t.size());
  Column& c = Writable(f);
  c.GrowPayloads();
  c.kind[row] = static_cast<uint8_t>(Value::Kind::kText);
  if (!in_cell) {
    d = (c.arena.size() << kLenBits) | t.size();
    c.arena.append(t);
  }
  c.data[row] = static_cast<int64_t>(d);
}

Value RecordSet::GetValue(size_t field) const { return CellValue(CurrentRow(), field); }

Value RecordSet::GetValue(std::string_view name) const {
  int i = FieldIndex(name);
  if (i < 0)
    throw Error(3265,
                "Item cannot be found in the collection corresponding to the "
                "requested name or ordinal.");
  return GetValue(static_cast<size_t>(i));
}

std::string_view RecordSet::GetText(size_t field) const { return CellText(CurrentRow(), field); }

bool RecordSet::IsMissing(size_t field) const {
  return columns_.at(field)->kind[CurrentRow()] == static_cast<uint8_t>(Value::Kind::kMissing);
}

void RecordSet::SetValue(size_t field, const Value& v) { SetValueAt(pos_, field, v); }

void RecordSet::SetValueAt(int64_t row, size_t field, const Value& v) {
  if (v.kind() == Value::Kind::kText) return SetTextAt(row, field, v.AsText());
  (void)fields_.at(field);  // an unknown field is said before a missing row
  if (row < 0 || row >= RecordCount()) NoCurrentRecord();
  StoreCell(view_[static_cast<size_t>(row)], field, v);
}

void RecordSet::SetTextAt(int64_t row, size_t field, std::string_view text) {
  const Field& f = fields_.at(field);
  if (f.type == 200 && f.defined_size > 0 &&
      Utf8LongerThan(text, static_cast<size_t>(f.defined_size))) {
    throw ValueTooLongError("Multiple-step operation generated errors. Check each status value.");
  }
  if (row < 0 || row >= RecordCount()) NoCurrentRecord();
  StoreText(view_[static_cast<size_t>(row)], field, text);
}

void RecordSet::SetValue(std::string_view name, const Value& v) {
  int i = FieldIndex(name);
  if (i < 0)
    throw Error(3265,
                "Item cannot be found in the collection corresponding to the "
                "requested name or ordinal.");
  SetValue(static_cast<size_t>(i), v);
}

Value RecordSet::At(int64_t row, size_t field) const {
  return CellValue(view_.at(static_cast<size_t>(row)), field);
}

std::string_view RecordSet::TextOfAdded(int64_t added, size_t field) const {
  if (added < 0 || field >= columns_.size() ||
      static_cast<size_t>(added) >= columns_[field]->kind.size())
    return {};
  return CellText(static_cast<uint32_t>(added), field);
}

std::string_view RecordSet::TextAt(int64_t row, size_t field) const {
  return CellText(view_.at(static_cast<size_t>(row)), field);
}

RecordSet RecordSet::AllInOrderAdded() const {
  RecordSet all(*this);
  all.ClearFilter();
  all.Sort("");
  return all;
}

void RecordSet::Sort(std::string_view field_name) {
  if (!field_name.empty() && FieldIndex(field_name) < 0) {
    throw Error(3265,
                "Item cannot be found in the collection corresponding to the requested "
                "name or ordinal.");
  }
  sort_field_ = std::string(field_name);
  RebuildView();
  pos_ = RecordCount() > 0 ? 0 : -1;
}

void RecordSet::SetFilter(std::string_view expression) {
  std::string_view e = Trim(expression);
  if (e.empty()) {
    filter_field_ = -1;
    filter_value_.clear();
  } else {
    size_t eq = e.find('=');
    if (eq == std::string_view::npos)
      throw Error(3001,
                  "Arguments are of the wrong type, are "
                  "out of acceptable range, or are in "
                  "conflict with one another.");
    std::string_view name = Trim(e.substr(0, eq));
    std::string_view value = Trim(e.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
      value = value.substr(1, value.size() - 2);
    }
    int f = FieldIndex(name);
    if (f < 0 || value.empty()) {
      throw Error(3001,
                  "Arguments are of the wrong type, are out of acceptable range, or are "
                  "in conflict with one another.");
    }
    filter_field_ = f;
    filter_value_ = std::string(value);
  }
  RebuildView();
  pos_ = RecordCount() > 0 ? 0 : -1;
}

void RecordSet::RebuildView() {
  view_.clear();
  for (uint32_t r = 0; r < rows_; ++r) {
    if (deleted_[r]) continue;
    if (filter_field_ >= 0) {
      const Column& c = *columns_[filter_field_];
      if (c.kind[r] == static_cast<uint8_t>(Value::Kind::kMissing)) continue;
      std::string shown = c.kind[r] == static_cast<uint8_t>(Value::Kind::kText)
                              ? std::string(CellText(r, filter_field_))
                              : CellValue(r, filter_field_).ToDisplay();
      if (!EqualsNoCase(shown, filter_value_)) continue;
    }
    view_.push_back(r);
  }
  if (sort_field_.empty()) return;
  const size_t f = static_cast<size_t>(FieldIndex(sort_field_));
  const Column& c = *columns_[f];
  // Precomputed keys keep the comparison cheap on large sets: the first eight
  // bytes of a text's key as one number (zeros after a shorter text) order
  // two keys as their bytes do unless both start alike; only then are the
  // whole keys compared.
  std::vector<std::string> text_keys;
  std::vector<uint64_t> text_heads;
  const bool any_text = std::any_of(view_.begin(), view_.end(), [&](uint32_t r) {
    return c.kind[r] == static_cast<uint8_t>(Value::Kind::kText);
  });
  if (any_text) {
    text_keys.resize(rows_);
    text_heads.resize(rows_);
    for (uint32_t r : view_) {
      if (c.kind[r] != static_cast<uint8_t>(Value::Kind::kText)) continue;
      text_keys[r] = UpperCase(CellText(r, f));
      uint64_t head = 0;
      for (size_t i = 0; i < 8; ++i) {
        head = head << 8 |
               (i < text_keys[r].size() ? static_cast<unsigned char>(text_keys[r][i]) : 0u);
      }
      text_heads[r] = head;
    }
  }
  auto rank = [&](uint32_t r) {
    switch (static_cast<Value::Kind>(c.kind[r])) {
      case Value::Kind::kMissing:
        return 0;
      case Value::Kind::kInteger:
      case Value::Kind::kReal:
        return 1;
      case Value::Kind::kDate:
        return 2;
      case Value::Kind::kText:
        return 3;
    }
    return 0;
  };
  auto num = [&](uint32_t r) {
    return c.kind[r] == static_cast<uint8_t>(Value::Kind::kInteger) ? static_cast<double>(c.data[r])
                                                                    : BitsDouble(c.data[r]);
  };
  std::stable_sort(view_.begin(), view_.end(), [&](uint32_t a, uint32_t b) {
    int ra = rank(a), rb = rank(b);
    if (ra != rb) return ra < rb;
    switch (ra) {
      case 1:
        return num(a) < num(b);
      case 2:
        return c.data[a] < c.data[b];
      case 3:
        return text_heads[a] != text_heads[b] ? text_heads[a] < text_heads[b]
                                              : text_keys[a] < text_keys[b];
      default:
        return false;
    }
  });
}

size_t RecordSet::MemoryUse() const {
  size_t n = deleted_.capacity() + view_.capacity() * sizeof(uint32_t);
  for (const auto& c : columns_) {
    n += c->kind.capacity() + c->data.capacity() * sizeof(int64_t) + c->arena.capacity();
  }
  return n;
}

}  // namespace sorvane
