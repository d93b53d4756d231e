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

void WriteText(int table, std::ostream& out) {
  const std::span<const CheckText> checks = CatalogueTexts(table);
  out << "Checks of Table " << table << " - " << TableTitle(table) << ": " << checks.size() << '\n';
  for (size_t i = 0; i < checks.size(); ++i) {
    const CheckText& c = checks[i];
    out << "  " << table << '.' << i << ' ' << c.fail << "  (" << SeverityName(c.required) << ")\n";
    if (*c.tooltip != '\0') out << "      rule: " << c.tooltip << '\n';
    out << "      when it passes: " << c.pass << '\n';
  }
}

void WriteJson(int table, JsonWriter& out) {
  const std::span<const CheckText> checks = CatalogueTexts(table);
  out.BeginObject();
  out.Key("table");
  out.Integer(table);
  out.Key("title");
  out.String(TableTitle(table));
  out.Key("checks");
  out.BeginArray();
  for (size_t i = 0; i < checks.size(); ++i) {
    const CheckText& c = checks[i];
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
  }
  out.EndArray();
  out.EndObject();
}

}  // namespace

int RunChecks(int only_table, bool json, Streams io) {
  const int first = only_table != 0 ? only_table : 1, last = only_table != 0 ? only_table : 5;
  if (!json) {
    for (int table = first; table <= last; ++table) WriteText(table, io.out);
    return 0;
  }
  JsonWriter out(io.out);
  out.BeginArray();
  for (int table = first; table <= last; ++table) WriteJson(table, out);
  out.EndArray();
  return 0;
}

}  // namespace sorvane::cli
