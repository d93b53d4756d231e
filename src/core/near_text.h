// Two spellings of one name that a person would take for the same, or for a
// slip of the keyboard: "c-010" and "C10", "Lab Q" and "LAB_Q", "SAMP_DATE"
// and "SAM_DATE". Used to say what a list or a header holds near a value that
// it lacks; never to change a value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sorvane {

// What the spellings share: capitals and digits only, each number without its
// leading zeros. Bytes of other scripts are kept as they are.
std::string NearKey(std::string_view text);

// The digits of a key, in order.
std::string KeyDigits(std::string_view key);

// Edits (a byte put in, taken out or changed) from `a` to `b`, or more than
// `most` when there are more.
size_t KeyDistance(const std::string& a, const std::string& b, size_t most);

// The edits two keys may be apart and still be near: none below four
// characters, then one, and one more for every ten characters of the longer.
// Keys with other numbers are never near ("C-12" and "C-10", "MW-3" and
// "MW-2"): a near miss must not lead to another well or compound. Returns the
// edits, or SIZE_MAX when the keys are not near or more than `most` apart.
size_t NearDistance(const std::string& a, const std::string& b, size_t most = SIZE_MAX);

}  // namespace sorvane
