#include "core/near_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

namespace sorvane {
namespace {

// Whether two keys hold the same digits in the same order.
bool SameDigits(std::string_view a, std::string_view b) {
  auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  size_t i = 0, j = 0;
  for (;;) {
    while (i < a.size() && !digit(a[i])) ++i;
    while (j < b.size() && !digit(b[j])) ++j;
    if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
    if (a[i++] != b[j++]) return false;
  }
}

}  // namespace

std::string NearKey(std::string_view text) {
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

std::string KeyDigits(std::string_view key) {
  std::string digits;
  for (const char c : key) {
    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
  }
  return digits;
}

size_t KeyDistance(const std::string& a, const std::string& b, size_t most) {
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

size_t NearDistance(const std::string& a, const std::string& b, size_t most) {
  const size_t longer = std::max(a.size(), b.size());
  most = std::min(most, longer < 4 ? 0 : 1 + longer / 10);
  if (a.empty() || b.empty() || !SameDigits(a, b)) return SIZE_MAX;
  const size_t d = KeyDistance(a, b, most);
  return d <= most ? d : SIZE_MAX;
}

}  // namespace sorvane
