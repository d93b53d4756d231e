// SQL functions of the program's dialect that SQLite lacks, registered on every
// connection: JET_INT (floor, as Jet's INT), JET_FORMAT (number formats such as
// '####0.#'), JET_UCASE (upper case, accented letters
// included), JET_NOW (local time as "YYYY-MM-DD HH:MM:SS").
#pragma once

struct sqlite3;

namespace sorvane {

void RegisterJetFunctions(sqlite3* db);

}  // namespace sorvane
