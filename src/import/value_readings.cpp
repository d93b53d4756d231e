#include "import/value_readings.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "core/c_numbers.h"
#include "core/text.h"

namespace sorvane {
namespace {

struct Unseen {
  std::string_view utf8;
  const char* said;
};
constexpr Unseen kUnseen[] = {{"\u00a0", "a non-breaking space"},
                              {"\u202f", "a narrow non-breaking space"},
                              {"\u2007", "a figure space"},
                              {"\u200b", "a zero-width space"},
                              {"\u2060", "a word joiner"},
                              {"\ufeff", "a byte-order mark"},
                              {"\n", "a line break"},
                              {"\r", "a line break"},
                              {"\t", "a tab"},
                              {" ", "a space"}};

}  // namespace

Unwrapped Unwrap(std::string_view text) {
  std::string_view core = text;
  const char* first_said = nullptr;
  bool before = false;
  for (bool changed = true; changed;) {
    changed = false;
    for (const Unseen& u : kUnseen) {
      const bool front = core.starts_with(u.utf8), back = !front && core.ends_with(u.utf8);
      if (!front && !back) continue;
      if (first_said == nullptr) first_said = u.said, before = front;
      core = front ? core.substr(u.utf8.size()) : core.substr(0, core.size() - u.utf8.size());
      changed = true;
    }
  }
  if (first_said == nullptr) return {core, ""};
  return {core, std::string("with ") + first_said + (before ? " before it" : " after it")};
}

std::optional<double> PlainNumber(std::string_view text) {
  const std::string s(text);
  char* end = nullptr;
  const double number = StrtodC(s.c_str(), &end);
  if (s.empty() || end != s.c_str() + s.size() || !std::isfinite(number)) return std::nullopt;
  return number;
}

std::optional<std::string> BelowLimit(std::string_view value) {
  const std::string_view v = TrimWhitespace(value);
  if (v.size() < 2 || v[0] != '<') return std::nullopt;
  std::string limit(TrimWhitespace(v.substr(1)));
  if (!PlainNumber(limit)) return std::nullopt;
  return limit;
}

bool SaidNotDetected(std::string_view value) {
  const std::string_view v = TrimWhitespace(value);
  for (const char* said : {"ND", "N.D.", "N/D", "NOT DETECTED", "NON-DETECT", "BDL", "BRL", "<MDL",
                           "<RL", "<DL", "<PQL"}) {
    if (EqualsNoCase(v, said)) return true;
  }
  return false;
}

namespace {

// A number and, after it, something starting with a letter (or a micro sign).
std::optional<NumberAnd> NumberThenWord(std::string_view value) {
  const std::string_view v = TrimWhitespace(value);
  double number = 0;
  const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), number);
  if (ec != std::errc() || p == v.data() || !std::isfinite(number)) return std::nullopt;
  const auto digits = static_cast<size_t>(p - v.data());
  const std::string_view after = TrimWhitespace(v.substr(digits));
  if (after.empty() ||
      !(std::isalpha(static_cast<unsigned char>(after[0])) || after.starts_with("\u00b5")))
    return std::nullopt;
  return NumberAnd{std::string(v.substr(0, digits)), std::string(after)};
}

}  // namespace

std::optional<NumberAnd> WithUnits(std::string_view value) {
  std::optional<NumberAnd> said = NumberThenWord(value);
  if (!said) return std::nullopt;
  const std::string& u = said->after;
  if (u.find('/') != std::string::npos || u.find('%') != std::string::npos) return said;
  for (const char* per : {"ppm", "ppb", "ppt", "ppmv", "ppbv", "percent"}) {
    if (EqualsNoCase(u, per)) return said;
  }
  return std::nullopt;
}

std::optional<NumberAnd> WithQualifier(std::string_view value) {
  std::optional<NumberAnd> said = NumberThenWord(value);
  if (!said || said->after.size() > 2) return std::nullopt;
  for (char c : said->after) {
    if (!std::isalpha(static_cast<unsigned char>(c))) return std::nullopt;
  }
  // A measure without its denominator is no qualifier.
  for (const char* measure : {"mg", "ug", "ng", "pg", "kg", "ml", "ul", "cm", "mm", "ft"}) {
    if (EqualsNoCase(said->after, measure)) return std::nullopt;
  }
  return said;
}

std::optional<double> DateSerial(const std::string& value) {
  const std::optional<double> serial = PlainNumber(value);
  if (!serial || !(*serial >= 1 && *serial < 2958466)) return std::nullopt;
  return serial;
}

size_t LeadingZerosLost(std::string_view id, std::string_view facility) {
  if (id.empty() || id.size() >= facility.size() || !facility.ends_with(id) ||
      facility.find_first_not_of('0') != facility.size() - id.size())
    return 0;
  return facility.size() - id.size();
}

}  // namespace sorvane
