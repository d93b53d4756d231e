#include "checks/list_hints.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

#include "core/errors.h"
#include "core/near_text.h"
#include "core/text.h"
#include "transfer/standardize.h"

namespace sorvane {
namespace {

enum Kind { kContract, kSource, kLab, kAnalyte, kPoint1, kPoint4 };

struct HintedCheck {
  int table, index;
  const char* field;  // the value looked for in the list
  Kind kind;
};

// The checks of a value against one of the agency's lists, and those of a
// point or sample that another table of the facility lacks.
constexpr HintedCheck kHinted[] = {
    {1, 7, "CONTRACT", kContract},
    {2, 4, "CONTRACT", kContract},
    {3, 3, "CONTRACT", kContract},
    {4, 13, "CONTRACT", kContract},
    {4, 4, "SAM_SOURCE", kSource},
    {5, 0, "LABORATORY", kLab},
    {5, 4, "CONT_NAME_NOFORMAT", kAnalyte},
    {2, 15, "POINT_ID", kPoint1},
    {3, 4, "POINT_ID", kPoint1},
    {4, 14, "POINT_ID", kPoint1},
    {5, 12, "POINT_ID", kPoint4},
};

const HintedCheck* Hinted(int table, int index) {
  for (const HintedCheck& h : kHinted) {
    if (h.table == table && h.index == index) return &h;
  }
  return nullptr;
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
  if (kind == kPoint1 || kind == kPoint4) {
    for (const std::string& p :
         kind == kPoint1
             ? Column("SELECT DISTINCT POINT_ID FROM MT_TEMP1 ORDER BY 1", {})
             : Column("SELECT DISTINCT POINT_ID FROM MT_TEMP4 WHERE SITE = ?1 ORDER BY 1",
                      {Value::Text(facility_)}))
      at->second.push_back({{NearKey(p)}, p});
    return at->second;
  }
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
          e.keys = {NearKey(first)};
          if (kind == kSource && !second.empty()) e.keys.push_back(NearKey(second));
          e.shown = second.empty() ? first : first + " (" + second + ")";
          break;
        case kLab:
          e.keys = {NearKey(second.empty() ? NormaliseLabName(first) : second),
                    NearKey(rows.TextAt(r, 2))};
          e.shown = Quoted(first);
          break;
        default:
          e.keys = {NearKey(second.empty() ? NormaliseName(first) : second)};
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
  return NearestOf(List(kind), NearKey(kind == kLab ? NormaliseLabName(value) : value));
}

std::string ListHints::NearestOf(const std::vector<Entry>& list, const std::string& key) {
  if (key.empty()) return "";
  // Near enough as NearDistance says: a name with a letter wrong is a near
  // miss, while a code or a compound of other numbers ("C-12" and "C-10",
  // "1,1-" and "1,2-Dichloroethane") is not.
  constexpr size_t kNone = SIZE_MAX;
  size_t best = kNone;
  std::vector<std::string> nearest;
  for (const Entry& e : list) {
    size_t own = kNone;
    for (const std::string& k : e.keys) {
      own = std::min(own, NearDistance(key, k, best));
    }
    if (own == kNone || own > best) continue;
    if (own < best) nearest.clear();
    best = own;
    if (std::find(nearest.begin(), nearest.end(), e.shown) == nearest.end())
      nearest.push_back(e.shown);
  }
  // Four or more alike say nothing.
  return nearest.empty() || nearest.size() > 3 ? "" : Alternatives(nearest);
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
  auto text_of = [&](const char* name) {
    const int f = rows.FieldIndex(name);
    return f < 0 ? std::string()
                 : std::string(Trim(rows.At(row, static_cast<size_t>(f)).ToDisplay()));
  };
  const std::string value = text_of(h->field);
  ListHint hint{value, ""};
  if (value.empty()) return hint;
  // What else the hint depends on: the CAS number of a contaminant, the
  // sample of a point.
  const std::string also = h->kind == kAnalyte  ? text_of("CAS_NUMBER")
                           : h->kind == kPoint4 ? text_of("SAM_ID")
                                                : std::string();
  if (h->kind == kPoint4 && !also.empty()) hint.value += ", " + also;
  const std::string memo = std::to_string(h->kind) + '\n' + hint.value + '\n' + also;
  auto [at, added] = found_.try_emplace(memo);
  if (added) at->second = Work(h->kind, value, also);
  hint.text = at->second;
  return hint;
}

std::string ListHints::Work(int kind, const std::string& value, const std::string& also) {
  if (kind == kAnalyte && !also.empty()) {
    if (std::string named = ByCasNumber(also); !named.empty()) return named;
  }
  if (kind == kPoint4) return SampleHint(value, also);
  const std::string nearest = Nearest(kind, value);
  if (nearest.empty()) return "";
  return (kind == kPoint1 ? "Nearest in Table 1: " : "Nearest in the agency's list: ") + nearest +
         ".";
}

std::vector<std::string> ListHints::Column(const char* sql, const std::vector<Value>& params) {
  std::vector<std::string> values;
  try {
    const RecordSet rows = conn_->QueryNative(sql, params);
    for (int64_t r = 0; r < rows.RecordCount(); ++r) {
      if (std::string v(Trim(rows.TextAt(r, 0))); !v.empty()) values.push_back(std::move(v));
    }
  } catch (const Error&) {
    values.clear();  // nothing to say
  }
  return values;
}

void ListHints::AddSample(const std::string& point, const std::string& sample) {
  std::string key = NearKey(sample);
  std::string digits = KeyDigits(key);
  samples_of_point_[UpperCase(point)][digits].push_back({{std::move(key)}, sample});
}

void ListHints::ReadAllSamples() {
  samples_of_point_.clear();
  points_of_sample_.clear();
  try {
    const RecordSet rows = conn_->QueryNative(
        "SELECT DISTINCT POINT_ID, SAM_ID FROM MT_TEMP4 WHERE SITE = ?1 ORDER BY 1, 2",
        {Value::Text(facility_)});
    for (int64_t r = 0; r < rows.RecordCount(); ++r) {
      const std::string point(Trim(rows.TextAt(r, 0))), sample(Trim(rows.TextAt(r, 1)));
      if (point.empty() || sample.empty()) continue;
      AddSample(point, sample);
      points_of_sample_[UpperCase(sample)].push_back(point);
    }
  } catch (const Error&) {
    samples_of_point_.clear();  // nothing to say
    points_of_sample_.clear();
  }
  all_samples_read_ = true;
}

std::string ListHints::SampleHint(const std::string& point, const std::string& sample) {
  // Looked up through Table 4's indexes, a value at a time, unless the check
  // has many rows (ForEveryRow): a large facility has tens of thousands of
  // samples.
  const Value site = Value::Text(facility_);
  // The sample under another point: the point is what was mistyped. (Found
  // by the samples' index: the engine would rather search by the facility.)
  if (!sample.empty()) {
    std::vector<std::string> points;
    if (all_samples_read_) {
      if (const auto at = points_of_sample_.find(UpperCase(sample)); at != points_of_sample_.end())
        points = at->second;
    } else {
      points = Column(
          "SELECT DISTINCT POINT_ID FROM MT_TEMP4 WHERE SAM_ID = ?1 AND +SITE = ?2 ORDER BY 1 "
          "LIMIT 4",
          {Value::Text(sample), site});
    }
    if (!points.empty() && points.size() <= 3)
      return "Table 4 has sample " + sample + " under point " + Alternatives(points) + ".";
  }
  const std::string upper = UpperCase(point);
  if (!all_samples_read_ && !samples_of_point_.count(upper)) {
    samples_of_point_[upper];
    for (const std::string& s :
         Column("SELECT DISTINCT SAM_ID FROM MT_TEMP4 WHERE SITE = ?1 AND POINT_ID = ?2 ORDER BY 1",
                {site, Value::Text(point)}))
      AddSample(point, s);
  }
  if (const auto samples = samples_of_point_.find(upper);
      samples != samples_of_point_.end() && !samples->second.empty()) {
    // Only samples of the same numbers can be near: those are looked at.
    const std::string key = NearKey(sample);
    const auto alike = samples->second.find(KeyDigits(key));
    const std::string nearest = alike == samples->second.end() ? "" : NearestOf(alike->second, key);
    return nearest.empty() ? "" : "Nearest sample of " + point + " in Table 4: " + nearest + ".";
  }
  const std::string nearest = Nearest(kPoint4, point);
  return nearest.empty() ? "" : "Nearest point in Table 4: " + nearest + ".";
}

std::vector<ListHint> ListHints::ForEveryRow(int table, int index, const RecordSet& rows) {
  std::vector<ListHint> hints;
  if (!Gives(table, index)) return hints;
  const RecordSet added = rows.InOrderAdded() ? RecordSet() : rows.AllInOrderAdded();
  const RecordSet& ordered = rows.InOrderAdded() ? rows : added;
  hints.reserve(static_cast<size_t>(ordered.RecordCount()));
  // Many rows of samples Table 4 lacks: one read of its samples, rather than
  // two lookups a row.
  constexpr int64_t kLookedUpOneByOne = 1000;
  if (Hinted(table, index)->kind == kPoint4 && ordered.RecordCount() > kLookedUpOneByOne &&
      !all_samples_read_)
    ReadAllSamples();
  for (int64_t r = 0; r < ordered.RecordCount(); ++r)
    hints.push_back(For(table, index, ordered, r));
  return hints;
}

}  // namespace sorvane
