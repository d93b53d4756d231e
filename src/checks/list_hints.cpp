#include "checks/list_hints.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

#include "core/errors.h"
#include "core/text.h"
#include "transfer/standardize.h"

namespace sorvane {
namespace {

enum Kind { kContract, kSource, kLab, kAnalyte };

struct HintedCheck {
  int table, index;
  const char* field;  // the value looked for in the list
  Kind kind;
};

// The checks of a value against one of the agency's lists.
constexpr HintedCheck kHinted[] = {
    {1, 7, "CONTRACT", kContract},          {2, 4, "CONTRACT", kContract},
    {3, 3, "CONTRACT", kContract},          {4, 13, "CONTRACT", kContract},
    {4, 4, "SAM_SOURCE", kSource},          {5, 0, "LABORATORY", kLab},
    {5, 4, "CONT_NAME_NOFORMAT", kAnalyte},
};

const HintedCheck* Hinted(int table, int index) {
  for (const HintedCheck& h : kHinted) {
    if (h.table == table && h.index == index) return &h;
  }
  return nullptr;
}

// What two spellings of one entry share: capitals and digits only, each
// number without its leading zeros ("c-010" and "C10" alike). Bytes of
// other scripts are kept as they are.
std::string Key(std::string_view text) {
  std::string key;
  bool in_number = false;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isdigit(c)) {
      if (c == '0' && !in_number) continue;
      in_number = true;
      key += ch;
      continue;
    }
    in_number = false;
    if (std::isalpha(c)) {
      key += static_cast<char>(std::toupper(c));
    } else if (c >= 0x80) {
      key += ch;
    }
  }
  return key;
}

// Edits (a byte put in, taken out or changed) from `a` to `b`, or more than
// `most` when there are more.
size_t Distance(const std::string& a, const std::string& b, size_t most) {
  const size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  if (gap > most) return most + 1;
  std::vector<size_t> row(b.size() + 1), next(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    next[0] = i;
    size_t least = next[0];
    for (size_t j = 1; j <= b.size(); ++j) {
      next[j] = std::min({row[j] + 1, next[j - 1] + 1, row[j - 1] + (a[i - 1] != b[j - 1])});
      least = std::min(least, next[j]);
    }
    if (least > most) return most + 1;
    std::swap(row, next);
  }
  return row[b.size()];
}

// "A", "A or B", "A, B or C".
std::string Alternatives(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

bool ListHints::Gives(int table, int index) { return Hinted(table, index) != nullptr; }

const std::vector<ListHints::Entry>& ListHints::List(int kind) {
  auto [at, added] = lists_.try_emplace(kind);
  if (!added) return at->second;
  static constexpr const char* kQueries[] = {
      "SELECT CONTRACT, CONTRACTOR FROM MT_CONTRACTOR ORDER BY CONTRACT",
      "SELECT SOURCE_ID, SOURCE FROM MT_SAMPLE_SOURCE ORDER BY SOURCE_ID",
      "SELECT NAME, NOFORMAT, ALIAS FROM MT_LAB ORDER BY NAME",
      "SELECT ANALYTE, ANALYTENOFORMAT FROM MT_ANALYTE ORDER BY ANALYTE",
  };
  try {
    const RecordSet rows = conn_->QueryNative(kQueries[kind]);
    for (int64_t r = 0; r < rows.RecordCount(); ++r) {
      const std::string first(Trim(rows.TextAt(r, 0)));
      const std::string second(Trim(rows.TextAt(r, 1)));
      if (first.empty()) continue;
      Entry e;
      switch (kind) {
        case kContract:
        case kSource:
          // A code, and what it stands for: either may be what was typed.
          e.keys = {Key(first)};
          if (kind == kSource && !second.empty()) e.keys.push_back(Key(second));
          e.shown = second.empty() ? first : first + " (" + second + ")";
          break;
        case kLab:
          e.keys = {Key(second.empty() ? NormaliseLabName(first) : second), Key(rows.TextAt(r, 2))};
          e.shown = Quoted(first);
          break;
        default:
          e.keys = {Key(second.empty() ? NormaliseName(first) : second)};
          e.shown = Quoted(first);
          break;
      }
      std::erase(e.keys, std::string());
      if (!e.keys.empty()) at->second.push_back(std::move(e));
    }
  } catch (const Error&) {
    at->second.clear();  // a list that cannot be read gives no hints
  }
  return at->second;
}

std::string ListHints::Nearest(int kind, const std::string& value) {
  const std::string key = Key(kind == kLab ? NormaliseLabName(value) : value);
  if (key.empty()) return "";
  // Near enough: at most one edit in four characters of the longer, so that
  // a code differing in one digit ("C-12", "C-10") is no near miss, while a
  // name with a letter wrong is.
  constexpr size_t kNone = SIZE_MAX;
  size_t best = kNone;
  std::vector<std::string> nearest;
  for (const Entry& e : List(kind)) {
    size_t own = kNone;
    for (const std::string& k : e.keys) {
      const size_t most = std::min(best, std::max(key.size(), k.size()) / 4);
      if (const size_t d = Distance(key, k, most); d <= most) own = std::min(own, d);
    }
    if (own == kNone || own > best) continue;
    if (own < best) nearest.clear();
    best = own;
    if (std::find(nearest.begin(), nearest.end(), e.shown) == nearest.end())
      nearest.push_back(e.shown);
  }
  // Four or more alike say nothing.
  if (nearest.empty() || nearest.size() > 3) return "";
  return "Nearest in the agency's list: " + Alternatives(nearest) + ".";
}

std::string ListHints::ByCasNumber(const std::string& cas) {
  if (!cas_read_) {
    cas_read_ = true;
    try {
      const RecordSet rows =
          conn_->QueryNative("SELECT CAS, ANALYTE FROM MT_ANALYTE ORDER BY ANALYTE");
      for (int64_t r = 0; r < rows.RecordCount(); ++r) {
        const std::string number = UpperCase(Trim(rows.TextAt(r, 0)));
        const std::string name(Trim(rows.TextAt(r, 1)));
        if (number.empty() || number.starts_with("NA") || name.empty()) continue;
        std::vector<std::string>& names = analytes_by_cas_[number];
        if (std::find(names.begin(), names.end(), Quoted(name)) == names.end())
          names.push_back(Quoted(name));
      }
    } catch (const Error&) {
      analytes_by_cas_.clear();
    }
  }
  const auto found = analytes_by_cas_.find(UpperCase(cas));
  if (found == analytes_by_cas_.end() || found->second.size() > 3) return "";
  return "The agency's list names CAS " + cas + " " + Alternatives(found->second) + ".";
}

ListHint ListHints::For(int table, int index, const RecordSet& rows, int64_t row) {
  const HintedCheck* h = Hinted(table, index);
  const int field = h != nullptr ? rows.FieldIndex(h->field) : -1;
  if (field < 0 || row < 0 || row >= rows.RecordCount()) return {};
  const Value v = rows.At(row, static_cast<size_t>(field));
  if (v.IsMissing()) return {};
  ListHint hint{std::string(Trim(v.ToDisplay())), ""};
  if (hint.value.empty()) return hint;
  std::string cas;
  if (h->kind == kAnalyte) {
    if (const int c = rows.FieldIndex("CAS_NUMBER"); c >= 0)
      cas = std::string(Trim(rows.At(row, static_cast<size_t>(c)).ToDisplay()));
  }
  const std::string memo = std::to_string(h->kind) + '\n' + hint.value + '\n' + cas;
  auto [at, added] = found_.try_emplace(memo);
  if (added) {
    if (!cas.empty()) at->second = ByCasNumber(cas);
    if (at->second.empty()) at->second = Nearest(h->kind, hint.value);
  }
  hint.text = at->second;
  return hint;
}

std::vector<ListHint> ListHints::ForEveryRow(int table, int index, const RecordSet& rows) {
  std::vector<ListHint> hints;
  if (!Gives(table, index)) return hints;
  const RecordSet added = rows.InOrderAdded() ? RecordSet() : rows.AllInOrderAdded();
  const RecordSet& ordered = rows.InOrderAdded() ? rows : added;
  hints.reserve(static_cast<size_t>(ordered.RecordCount()));
  for (int64_t r = 0; r < ordered.RecordCount(); ++r)
    hints.push_back(For(table, index, ordered, r));
  return hints;
}

}  // namespace sorvane
