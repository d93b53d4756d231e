#include "import/mends.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

#include "core/convert.h"
#include "core/text.h"
#include "import/import_problems.h"
#include "import/readers/cell_text.h"
#include "import/value_readings.h"

namespace sorvane {
namespace {

// The mends of one finding: all of them or none are made.
using MendGroup = std::vector<CellMend>;

std::string_view Interned(const std::string& text) {
  static std::mutex lock;
  static std::set<std::string, std::less<>> texts;
  const std::lock_guard<std::mutex> hold(lock);
  return *texts.insert(text).first;
}

class TableMends {
 public:
  TableMends(const RunState& state, int n, uint32_t most = UINT32_MAX)
      : state_(state),
        o_(state.Tables[static_cast<size_t>(n)].Origin),
        sheet_(state.SheetRecordset[static_cast<size_t>(n)].get()),
        structure_(state.TempRecordset[static_cast<size_t>(n)].get()),
        n_(n),
        most_(most) {}

  // Every finding's mends in one list (a table of a million results written
  // "<0.5" has millions), and the finding of each.
  // (A deque, which grows without moving what it holds: a vector would hold
  // twice the mends for a while as it grows.)
  struct Found {
    std::deque<CellMend> mends;
    std::vector<uint32_t> finding;
  };

  Found Find() {
    Headers();
    // The later stages ran only when the field names were right.
    if (o_.missing_fields.empty() && sheet_ != nullptr) {
      FacilityIds();
      uint32_t looked = 0;
      for (const CellMark& mark : o_.type_marks) {
        if (++looked > most_) break;
        Marked(mark);
      }
    }
    return std::move(found_);
  }

 private:
  // A header cell holding a missing field's name wrapped in characters nobody
  // sees, or written nearly alike.
  void Headers() {
    for (const std::string& field : o_.missing_fields) {
      int found = -1;
      std::string why;
      for (size_t i = 0; i < o_.fields.size() && i < o_.header_columns.size(); ++i) {
        const Unwrapped name = Unwrap(o_.fields[i]);
        if (name.said.empty() || !EqualsNoCase(name.core, field)) continue;
        found = static_cast<int>(i);
        why = "the name of " + field + " " + name.said;
        break;
      }
      if (found < 0) {
        found = NearHeader(o_, structure_, field);
        why = "the name of " + field + " misspelled";
      }
      if (found < 0) continue;
      const auto k = static_cast<size_t>(found);
      Keep({CellMend{o_.header_row, o_.header_columns[k], CellMend::Kind::kText, field, 0,
                     k < o_.header_texts.size() ? o_.header_texts[k] : o_.fields[k], field,
                     Interned(why)}});
    }
  }

  // A facility ID that lost its leading zeros as a number, or that characters
  // nobody sees wrap.
  void FacilityIds() {
    const int fac = o_.FieldIndex("FAC_ID");
    if (fac < 0 || state_.FacilityID.empty()) return;
    uint32_t looked = 0;
    for (int32_t record : o_.wrong_id_records) {
      if (++looked > most_) break;
      const std::string id = Text(record, fac);
      const Unwrapped u = Unwrap(id);
      std::string why;
      if (const size_t zeros = LeadingZerosLost(id, state_.FacilityID); zeros > 0) {
        why = zeros > 1 ? "the facility's ID without its leading zeros"
                        : "the facility's ID without its leading zero";
      } else if (!u.said.empty() && u.core == state_.FacilityID) {
        why = "the facility's ID " + u.said;
      } else {
        continue;
      }
      Keep({Mend(record, fac, CellMend::Kind::kText, state_.FacilityID, 0, why)});
    }
  }

  // A value of the wrong type whose meaning is certain.
  void Marked(const CellMark& mark) {
    if (mark.field < 0 || static_cast<size_t>(mark.field) >= o_.fields.size()) return;
    const std::string& field = o_.fields[static_cast<size_t>(mark.field)];
    const std::string value = Text(mark.record, mark.field);
    const int type = TypeOf(field);
    if (n_ == 5 && field == "CONC" && Result(mark.record, value)) return;
    if (n_ == 5 && (field == "CONC" || field == "MDL")) {
      const std::optional<NumberAnd> units = WithUnits(value);
      const std::optional<NumberAnd> qualifier =
          units || field != "CONC" ? std::nullopt : WithQualifier(value);
      const std::optional<NumberAnd>& said = units ? units : qualifier;
      if (const std::optional<double> number = said ? PlainNumber(said->number) : std::nullopt) {
        const char* other = units ? "UNITS" : "LAB_Q";
        MendGroup group{Mend(mark.record, mark.field, CellMend::Kind::kNumber, said->number,
                             *number,
                             units ? "the units written after the number"
                                   : "the laboratory's qualifier written after the number")};
        if (Fill(group, mark.record, other, said->after,
                 units ? "the units of " + field : "the qualifier of CONC")) {
          Keep(std::move(group));
        }
        return;
      }
    }
    if (type == kTypeDate) {
      // A number of another time than samples are taken in ("2", "500000") is
      // more likely a slip than a date kept as its number: left to the person.
      constexpr double kFirst = 18264, kLast = 73051;  // 1/1/1950, 1/1/2100
      if (const std::optional<double> serial = DateSerial(value);
          serial && *serial >= kFirst && *serial < kLast) {
        std::string shown;
        readers::AppendNumberText(*serial, true, false, shown);
        Keep({Mend(mark.record, mark.field, CellMend::Kind::kDate, shown, *serial,
                   "a date kept as its number")});
      }
      return;
    }
    const Unwrapped u = Unwrap(value);
    const std::optional<double> core = PlainNumber(u.core);
    const bool whole = core && std::trunc(*core) == *core && std::fabs(*core) < 2147483648.0;
    if (!u.said.empty() && core &&
        (type == kTypeSingle || type == kTypeDouble || (type == kTypeInteger && whole))) {
      Keep({Mend(mark.record, mark.field, CellMend::Kind::kNumber, std::string(u.core), *core,
                 "the number " + u.said)});
    }
  }

  // A concentration written below its detection limit ("<0.5") or not
  // detected ("ND", its limit in MDL): the limit in CONC and MDL, U in LAB_Q.
  bool Result(int32_t record, const std::string& value) {
    const int conc = o_.FieldIndex("CONC"), mdl = o_.FieldIndex("MDL");
    std::optional<std::string> limit = BelowLimit(value);
    std::string why = "a result below its detection limit";
    if (!limit && SaidNotDetected(value) && mdl >= 0) {
      const std::string written(TrimWhitespace(Text(record, mdl)));
      if (PlainNumber(written)) limit = written, why = "a result not detected";
    }
    if (!limit) return false;
    MendGroup group{Mend(record, conc, CellMend::Kind::kNumber, *limit, *PlainNumber(*limit),
                         why + ", written as its limit")};
    if (mdl < 0) return true;
    const std::string mdl_text(TrimWhitespace(Text(record, mdl)));
    if (mdl_text.empty()) {
      group.push_back(Mend(record, mdl, CellMend::Kind::kNumber, *limit, *PlainNumber(*limit),
                           why + ": its limit"));
    } else if (PlainNumber(mdl_text) != PlainNumber(*limit)) {
      return true;  // the MDL says another limit: the person knows which
    }
    if (Fill(group, record, "LAB_Q", "U", why + ": U")) Keep(std::move(group));
    return true;
  }

  // Adds to `group` the mend writing `text` into the empty `field` of
  // `record`; true when that field is there and empty or already holds it
  // (without regard to case), false when it holds something else.
  bool Fill(MendGroup& group, int32_t record, const char* field, const std::string& text,
            const std::string& why) {
    const int f = o_.FieldIndex(field);
    if (f < 0) return false;
    const std::string cell = Text(record, f);
    const std::string_view held = TrimWhitespace(cell);
    if (held.empty()) {
      group.push_back(Mend(record, f, CellMend::Kind::kText, text, 0, why));
      return true;
    }
    return EqualsNoCase(held, text);
  }

  CellMend Mend(int32_t record, int field, CellMend::Kind kind, const std::string& now,
                double number, const std::string& why) const {
    const auto f = static_cast<size_t>(field);
    return CellMend{o_.PlaceOf({}, {}, record, std::vector<int32_t>{}).row,
                    field,
                    kind,
                    now,
                    number,
                    Text(record, field),
                    f < o_.fields.size() ? o_.fields[f] : "",
                    Interned(why)};
  }

  // A cell's text as read, without the marks the data-type stage put round it.
  std::string Text(int32_t record, int field) const {
    if (sheet_ == nullptr || field < 0) return "";
    std::string_view text = sheet_->TextOfAdded(record, static_cast<size_t>(field));
    if (text.starts_with("**")) text.remove_prefix(2);
    if (text.ends_with("**")) text.remove_suffix(2);
    return std::string(text);
  }

  int TypeOf(const std::string& field) const {
    const int f = structure_ != nullptr ? structure_->FieldIndex(field) : -1;
    return f < 0 ? -1 : structure_->GetField(static_cast<size_t>(f)).type;
  }

  // A finding's mends, made together or not at all.
  void Keep(MendGroup&& group) {
    for (CellMend& m : group) {
      found_.mends.push_back(std::move(m));
      found_.finding.push_back(findings_);
    }
    ++findings_;
  }

  const RunState& state_;
  const SheetOrigin& o_;
  const RecordSet* sheet_;
  const RecordSet* structure_;
  int n_;
  const uint32_t most_;  // findings looked at, at most (of each stage)
  Found found_;
  uint32_t findings_ = 0;
};

std::vector<CellMend> MendsAmong(const RunState& state, int n, uint32_t most) {
  if (n < 1 || n > 5) return {};
  auto [mends, finding] = TableMends(state, n, most).Find();
  // A cell two findings would write otherwise is left, with all either
  // writes: found through the mends sorted by their cells.
  auto cell = [&](uint32_t i) { return std::pair{mends[i].row, mends[i].column}; };
  std::vector<uint32_t> order(mends.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return cell(a) < cell(b); });
  std::vector<bool> disputed(finding.empty() ? 0 : finding.back() + 1, false);
  for (size_t i = 0, j = 0; i < order.size(); i = j) {
    bool differ = false;
    for (j = i + 1; j < order.size() && cell(order[j]) == cell(order[i]); ++j)
      differ = differ || mends[order[j]].now != mends[order[i]].now;
    for (size_t k = i; differ && k < j; ++k) disputed[finding[order[k]]] = true;
  }
  order = {};
  size_t kept = 0;
  for (uint32_t f : finding) kept += disputed[f] ? 0 : 1;
  std::vector<CellMend> out;
  out.reserve(kept);
  for (uint32_t f : finding) {
    if (!disputed[f]) out.push_back(std::move(mends.front()));
    mends.pop_front();  // its memory goes as the list is moved
  }
  const auto by_cell = [](const CellMend& a, const CellMend& b) {
    return std::pair{a.row, a.column} < std::pair{b.row, b.column};
  };
  std::sort(out.begin(), out.end(), by_cell);
  // Two findings writing one cell alike write it once.
  out.erase(std::unique(out.begin(), out.end(),
                        [](const CellMend& a, const CellMend& b) {
                          return a.row == b.row && a.column == b.column;
                        }),
            out.end());
  return out;
}

}  // namespace

std::vector<CellMend> MendsOf(const RunState& state, int n) {
  return MendsAmong(state, n, UINT32_MAX);
}

bool HasMends(const RunState& state, int n) { return !MendsAmong(state, n, 10000).empty(); }

}  // namespace sorvane
