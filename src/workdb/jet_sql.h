// Translation of the program's SQL dialect (Jet) to SQLite. A pure function of
// the text: it keeps string literals as they are and rewrites
//   UCASE( -> JET_UCASE(          INT( -> JET_INT(        FORMAT( -> JET_FORMAT(
//   NOW() -> JET_NOW()        #6/30/02# -> '2002-06-30 00:00:00' (month first)
//   DELETE * FROM -> DELETE FROM
//   LIKE 'a*' -> LIKE 'a%' (and ? -> _) in the pattern that follows LIKE
//   [name] -> "name"          a / b -> a * 1.0 / b (real division)
//   UPDATE a INNER JOIN b ON j SET t.c = v WHERE w
//     -> UPDATE t SET c = v FROM <the other table> WHERE (j) AND (w)
// The JET_* functions are registered on every Connection.
#pragma once

#include <string>
#include <string_view>

namespace sorvane {

std::string TranslateJet(std::string_view jet_sql);

}  // namespace sorvane
