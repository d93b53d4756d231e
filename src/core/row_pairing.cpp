#include "core/row_pairing.h"

#include <string_view>
#include <unordered_map>

namespace sorvane {

RowPairing PairEqualRows(std::span<const std::string> before, std::span<const std::string> now) {
  // The rows before by their values, each list latest first: its back is the
  // earliest row not paired yet.
  std::unordered_map<std::string_view, std::vector<size_t>> earlier;
  for (size_t i = before.size(); i-- > 0;) earlier[before[i]].push_back(i);
  std::vector<bool> paired(before.size(), false);
  RowPairing p;
  for (size_t i = 0; i < now.size(); ++i) {
    const auto found = earlier.find(now[i]);
    if (found != earlier.end() && !found->second.empty()) {
      paired[found->second.back()] = true;
      found->second.pop_back();
    } else {
      p.come.push_back(i);
    }
  }
  for (size_t i = 0; i < paired.size(); ++i)
    if (!paired[i]) p.gone.push_back(i);
  return p;
}

}  // namespace sorvane
