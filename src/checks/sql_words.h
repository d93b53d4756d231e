// Finding words in the SQL text of a check, for the code that takes check
// queries apart (their places, their shared reads).
#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

namespace sorvane {

// A letter, a digit or '_': part of a name or a keyword.
bool IsWordChar(char c);

// Positions of `word` (a whole word, any letter case) in `sql` outside quotes
// and brackets, at parenthesis depth 0 when `top_level`.
std::vector<size_t> FindWord(std::string_view sql, std::string_view word, bool top_level = true);

// The one place of `word` as FindWord finds it at the top level, or npos when
// it is not there once.
size_t OnlyWord(std::string_view sql, std::string_view word);

// A name of letters, digits and '_' that does not begin with a digit.
bool PlainName(std::string_view s);

// The items of a list separated by commas (any comma: an item with one inside
// brackets comes apart), blanks and line breaks around each dropped.
std::vector<std::string_view> SplitList(std::string_view list);

// Whether `sql` (blanks around it dropped) is one SELECT: no other inside,
// no ';' or parameter, and none of the words `refused` anywhere.
bool OneSelect(std::string_view sql, std::initializer_list<const char*> refused);

// The place of the parenthesis that closes the one at `open`, quoted texts
// and names skipped; npos when there is none.
size_t ClosingParen(std::string_view sql, size_t open);

// The query that "WITH <header> AS (<query>) <rest>" names (not RECURSIVE):
// its header ("W(n0, n1, ...)") and the places of the parentheses around it
// in `sql`, which starts with WITH.
struct WithQuery {
  std::string_view header;
  size_t open = 0, close = 0;
};
std::optional<WithQuery> NamedQuery(std::string_view sql);

// The SELECTs of `sql` joined by UNION or UNION ALL at the top level, in
// order; none when `sql` holds a ';', a parameter, a SELECT inside another or
// any of the words `refused` anywhere.
std::vector<std::string_view> UnionParts(std::string_view sql,
                                         std::initializer_list<const char*> refused);

// The terms of a condition joined by AND at the top level, blanks around
// each dropped.
std::vector<std::string_view> AndTerms(std::string_view condition);

// The places in `sql` where `table` is named as a table (not as the
// qualifier of a column, nor qualified by a schema).
std::vector<size_t> TableNamed(std::string_view sql, std::string_view table);

// The column a reference "table.column" (either part may be in double
// quotes; or a bare "column", unless `qualified`) names in `table`, blanks
// around it ignored; "" for anything else.
std::string_view ColumnOf(std::string_view ref, std::string_view table, bool qualified);

}  // namespace sorvane
