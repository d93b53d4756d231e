// Small text helpers shared by every subsystem. Texts are UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane {

// Upper case of ASCII letters and of Latin-1 supplement letters (what a
// contractor's accented names need); other characters unchanged.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// UpperCase without a new string (a search over millions of cells).
void UpperCaseInPlace(std::string& s);
// Blanks (spaces only, as the workbook texts use them) removed at both ends.
std::string_view Trim(std::string_view s);
std::string_view TrimWhitespace(std::string_view s);  // blanks, tabs, CR, LF
bool EqualsNoCase(std::string_view a, std::string_view b);
// Number of characters (code points) of a UTF-8 text; invalid bytes count one each.
size_t Utf8Length(std::string_view s);
// Utf8Length(s) > n, without counting a text of n bytes or fewer.
inline bool Utf8LongerThan(std::string_view s, size_t n) {
  return s.size() > n && Utf8Length(s) > n;
}
// The length in bytes of the well-formed UTF-8 character at s[i], or 0 when
// none starts there (a stray or cut sequence, an overlong form, a surrogate or
// a value past U+10FFFF).
size_t WellFormedUtf8At(std::string_view s, size_t i);
// Whether every byte of the text belongs to a well-formed UTF-8 character.
bool IsWellFormedUtf8(std::string_view s);
// The text with every byte that does not belong to a well-formed UTF-8
// character replaced by U+FFFD, for files whose format demands UTF-8.
std::string ValidUtf8(std::string_view s);
// The first `n` characters of a UTF-8 text.
std::string Utf8Prefix(std::string_view s, size_t n);

// A value as a person reads it in a label, a message or on the terminal: up to
// `max` characters as they are; a longer one cut there, followed by "…" and its
// full length ("…(17000000 characters)"). Reports and workbooks keep values whole.
std::string ForReading(std::string_view value, size_t max = 300);
// Every occurrence of `c` removed.
std::string StripChar(std::string_view text, char c);
// Every occurrence of `from` replaced by `to`, left to right, without rescanning.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
// "a", "a and b", "a, b and c".
std::string JoinedWithAnd(const std::vector<std::string>& items);
// `head` + `tail` as the name of a file: where that is longer than a file
// system takes (`most` bytes), the start of `head`, cut between characters,
// "~" and a hash of the whole of `head`, then `tail`, so that two such names
// alike but for their ends stay apart.
std::string NameWithin(std::string_view head, std::string_view tail, size_t most = 255);
// The text as an SQL string literal: single quotes around it, inner quotes doubled.
std::string SqlQuote(std::string_view s);

}  // namespace sorvane
