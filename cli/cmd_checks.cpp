// `sorvane checks [TABLE] [--json]`: the checks a review runs, table by table,
// as the check window and the error workbook word them: each check's number,
// the words it fails with and its severity, its rule, and the words it passes
// with. Needs no data folder. Exit status 0.
#include <ostream>
#include <string_view>

#include "checks/ModChecks.h"
#include "checks/check_catalogue.h"
#include "commands.h"
#include "core/text.h"
#include "json_writer.h"
#include "state/run_state.h"

namespace sorvane::cli {
namespace {

// "Possible Problem", as the error workbook puts it between brackets.
std::string SeverityName(int required) {
  const std::string wording = SeverityWording(required);
  std::string_view words = Trim(wording);
  if (words.size() >= 2 && words.front() == '(' && words.back() == ')')
    words = words.substr(1, words.size() - 2);
  return std::string(words);
}

}  // namespace

int RunChecks(int only_table, bool json, Streams io) {
  JsonWriter out(io.out);
  if (json) out.BeginArray();
  for (int table = 1; table <= 5; ++table) {
    if (only_table != 0 && table != only_table) continue;
    const std::span<const CheckText> checks = CatalogueTexts(table);
    if (json) {
      out.BeginObject();
      out.Key("table");
      out.Integer(table);
      out.Key("title");
      out.String(TableTitle(table));
      out.Key("checks");
      out.BeginArray();
    } else {
      io.out << "Checks of Table " << table << " - " << TableTitle(table) << ": " << checks.size()
             << '\n';
    }
    for (size_t i = 0; i < checks.size(); ++i) {
      const CheckText& c = checks[i];
      if (json) {
        out.BeginObject();
        out.Key("index");
        out.Integer(static_cast<int64_t>(i));
        out.Key("severity");
        out.Integer(c.required);
        out.Key("severity_text");
        out.String(SeverityName(c.required));
        out.Key("fail_text");
        out.String(c.fail);
        out.Key("rule");
        out.String(c.tooltip);
        out.Key("pass_text");
        out.String(c.pass);
        out.EndObject();
        continue;
      }
      io.out << "  " << table << '.' << i << ' ' << c.fail << "  (" << SeverityName(c.required)
             << ")\n";
      if (*c.tooltip != '\0') io.out << "      rule: " << c.tooltip << '\n';
      io.out << "      when it passes: " << c.pass << '\n';
    }
    if (json) {
      out.EndArray();
      out.EndObject();
    }
  }
  if (json) out.EndArray();
  return 0;
}

}  // namespace sorvane::cli
