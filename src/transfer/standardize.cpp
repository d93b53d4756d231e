#include "transfer/standardize.h"

#include <fmt/format.h>

#include <array>

#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

struct TableStatements {
  const char* name;
  int table;  // the workbook table whose status label reports the work
  const char* upper_case;
  // The PRIOR statement is split around the review date: pieces[0] d pieces[1] d pieces[2].
  std::array<const char*, 3> prior;
};

constexpr const char* kPointsPrior =
    " SET REVIEWED = 'PRIOR' WHERE POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP4 WHERE "
    "SAM_DATE <= #";

const TableStatements kStatements[] = {
    {"1",
     1,
     "UPDATE MT_TEMP1 SET POINT_ID = UCASE(POINT_ID), COL_METHOD = UCASE (COL_METHOD), CONTRACT "
     "= UCASE(CONTRACT)",
     {nullptr, "#) OR POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP3 WHERE WL_DATE<=#",
      "#) "}},
    {"2",
     2,
     "UPDATE MT_TEMP2 SET POINT_ID = UCASE(POINT_ID), STATUS = UCASE(STATUS), MATERIAL = "
     "UCASE(MATERIAL), AQUIFER = UCASE(AQUIFER), CONTRACT = UCASE(CONTRACT)",
     {nullptr, "#) OR POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP3 WHERE WL_DATE<=#",
      "#) "}},
    {"2A",
     2,
     "UPDATE MT_TEMP2A SET POINT_ID = UCASE(POINT_ID), A_PARAMETER = UCASE(A_PARAMETER), UNITS = "
     "UCASE(UNITS)",
     {nullptr, "#) OR POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP3 WHERE WL_DATE<=#",
      "#) "}},
    {"3",
     3,
     "UPDATE MT_TEMP3 SET POINT_ID = UCASE(POINT_ID), CONTRACT=UCASE(CONTRACT)",
     {"UPDATE MT_TEMP3 SET REVIEWED = 'PRIOR' WHERE WL_DATE <= #", "# ", nullptr}},
    {"4",
     4,
     "UPDATE MT_TEMP4 SET POINT_ID = UCASE(POINT_ID), SAM_ID=UCASE(SAM_ID), MATRIX=UCASE(MATRIX), "
     "SAM_SOURCE = UCASE(SAM_SOURCE), CONTRACT = UCASE(CONTRACT)",
     {"UPDATE MT_TEMP4 SET REVIEWED = 'PRIOR' WHERE SAM_DATE <= #", "# ", nullptr}},
    {"4A",
     4,
     "UPDATE MT_TEMP4A SET POINT_ID = UCASE(POINT_ID), SAM_ID=UCASE(SAM_ID), "
     "FIELDTEST=UCASE(FIELDTEST), UNITS = UCASE(UNITS)",
     {"UPDATE MT_TEMP4 INNER JOIN MT_TEMP4A ON (MT_TEMP4.SAM_ID = MT_TEMP4A.SAM_ID) AND "
      "(MT_TEMP4.POINT_ID = MT_TEMP4A.POINT_ID) AND (MT_TEMP4.SITE = MT_TEMP4A.SITE) SET "
      "MT_TEMP4A.REVIEWED = 'PRIOR' WHERE (((MT_TEMP4.SAM_DATE)<= #",
      "# ))", nullptr}},
    {"5",
     5,
     "UPDATE MT_TEMP5 SET POINT_ID = UCASE(POINT_ID), SAM_ID=UCASE(SAM_ID), METHOD=UCASE(METHOD), "
     "UNITS = UCASE(UNITS), LAB_Q = UCASE(LAB_Q)",
     {"UPDATE MT_TEMP5 INNER JOIN MT_TEMP4 ON (MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID) AND "
      "(MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID) AND (MT_TEMP5.SITE = MT_TEMP4.SITE) SET "
      "MT_TEMP5.REVIEWED = 'PRIOR' WHERE (((MT_TEMP4.SAM_DATE)<= #",
      "#))", nullptr}},
};

const TableStatements& StatementsOf(const std::string& name) {
  for (const auto& s : kStatements)
    if (name == s.name) return s;
  throw Error(5, "Invalid procedure call or argument: no temporary table MT_TEMP" + name + ".");
}

std::string PriorStatement(const TableStatements& s, const std::string& d) {
  if (s.prior[0] == nullptr) {
    // Points (tables 1, 2, 2A) are PRIOR through their samples or water levels.
    return std::string("UPDATE MT_TEMP") + s.name + kPointsPrior + d + s.prior[1] + d + s.prior[2];
  }
  return std::string(s.prior[0]) + d + s.prior[1];
}

void Run(RunState& state, std::string sql) { state.WorkConn.Execute(sql); }

void Caption(RunState& state, int table, const char* caption) {
  state.StatusLabel(table).caption = caption;
  state.Refresh();
}

// The name normalisations as SQL functions, so that a table of a million
// results is normalised in one pass inside the engine.
void RegisterNormaliseFunctions(Connection& conn) {
  conn.RegisterTextFunction("SV_NOFORMAT", NormaliseName);
  conn.RegisterTextFunction("SV_LABNOFORMAT", NormaliseLabName);
}

void StandardizeAnalytical(RunState& state) {
  RegisterNormaliseFunctions(state.WorkConn);

  Caption(state, 5, "Normalizing Laboratory Names...");
  state.WorkConn.ExecuteNative("UPDATE MT_TEMP5 SET LABNOFORMAT = SV_LABNOFORMAT(LABORATORY)");
  Run(state,
      "UPDATE MT_TEMP5 INNER JOIN MT_LAB ON MT_TEMP5.LABNOFORMAT = MT_LAB.NOFORMAT SET "
      "MT_TEMP5.LAB =MT_LAB.LAB ");
  Run(state, "UPDATE MT_TEMP5 SET LAB = 0 WHERE LAB IS NULL");

  Caption(state, 5, "Standardizing SPLP Method...");
  Run(state, "UPDATE MT_TEMP5 SET MT_TEMP5.METHOD = '1312' WHERE UCASE(METHOD) Like 'SPLP%'");

  Caption(state, 5, "Standardizing Contaminant Names.");
  state.WorkConn.ExecuteNative("UPDATE MT_TEMP5 SET CONT_NAME_NOFORMAT = SV_NOFORMAT(CONT_NAME)");
}

}  // namespace

std::string NormaliseName(std::string_view name) {
  std::string s(name);
  for (char c : {'-', ',', ' ', ')', '(', '&', '/', '.', '+', '*'}) {
    if (s.find(c) != std::string::npos) s = StripChar(s, c);
  }
  return UpperCase(s);
}

std::string NormaliseLabName(std::string_view name) {
  std::string s = NormaliseName(name);
  if (s.find("LABORATOR") != std::string::npos) {
    s = ReplaceAll(s, "LABORATORIES", "LAB");
    s = ReplaceAll(s, "LABORATORY", "LAB");
  }
  if (s.find("INC") != std::string::npos) s = ReplaceAll(s, "INC", "");
  return s;
}

std::string ReviewDateLiteral(const RunState& state) {
  const std::string& text = state.view.me_ReviewDate.text;
  auto d = ToDate(text);
  if (!d) {
    // The dialect's message for a criterion that is not a date, as the check
    // window shows database messages.
    throw DatabaseError(-2147217913,
                        "Data type mismatch in criteria expression (review date '" + text + "').");
  }
  // Four year digits always, so that the literal is never read as a two-digit year.
  return fmt::format("{}/{}/{:04}", d->month(), d->day(), d->year());
}

void Standardize(RunState& state, const std::string& name) {
  const TableStatements& s = StatementsOf(name);

  Caption(state, s.table, "Standardizing Upper Case for some fields.");
  Run(state, s.upper_case);
  Run(state, "UPDATE MT_TEMP" + name + " SET REVIEWED = 'NEW'");

  if (state.FlagByReviewDate()) {
    Caption(state, s.table, "Flagging Prior Data.");
    Run(state, PriorStatement(s, ReviewDateLiteral(state)));
  }

  if (name == "5") StandardizeAnalytical(state);
}

}  // namespace sorvane
