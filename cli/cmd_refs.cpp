// `sorvane refs sources|cas|labs|contracts [--json]`: one reference list, as the
// reference-list window shows it. Plain output is the window caption, then a
// tab-separated header and rows; --json writes an array with one object per
// row. Exit status 0, or 2 when the list cannot be read.
#include <ostream>

#include "commands.h"
#include "console_ui.h"
#include "json_writer.h"
#include "program_start.h"
#include "shell/frmCMain.h"
#include "viewers/frmCMinorTableView.h"

namespace sorvane::cli {
namespace {

int ListIndex(const std::string& list) {
  if (list == "sources") return 0;
  if (list == "cas") return 1;
  if (list == "labs") return 2;
  if (list == "contracts") return 3;
  return -1;
}

// A cell of a tab-separated line: tabs and line breaks would break the shape,
// and other control characters (a value refreshed from an update database)
// must not reach the terminal as such.
std::string Cell(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return ForTerminal(text);
}

}  // namespace

int RunRefs(const Paths& paths, const std::string& list, bool json, Streams io) {
  const int index = ListIndex(list);
  if (index < 0) {
    io.err << "refs: " << list << " is not one of sources, cas, labs, contracts\n";
    return 2;
  }
  ConsoleUi ui(io.err);
  frmCMain main(ui, paths);
  if (!StartProgram(main, io.err)) return 2;
  main.mnuViewRef_Click(index);
  frmCMinorTableView* window = main.reference_view();
  if (!window || window->current_list() != index || !window->view().DataGrid1.source) {
    main.Form_Unload();
    return 2;
  }
  const RecordSet& rows = *window->view().DataGrid1.source;
  if (json) {
    JsonWriter out(io.out);
    out.BeginArray();
    for (int64_t r = 0; r < rows.RecordCount(); ++r) {
      out.BeginObject();
      for (size_t f = 0; f < rows.FieldCount(); ++f) {
        out.Key(rows.GetField(f).name);
        WriteJsonValue(out, rows.At(r, f));
      }
      out.EndObject();
    }
    out.EndArray();
  } else {
    io.out << window->view().caption << '\n';
    for (size_t f = 0; f < rows.FieldCount(); ++f) {
      io.out << (f ? "\t" : "") << rows.GetField(f).name;
    }
    io.out << '\n';
    for (int64_t r = 0; r < rows.RecordCount(); ++r) {
      for (size_t f = 0; f < rows.FieldCount(); ++f) {
        io.out << (f ? "\t" : "") << Cell(rows.At(r, f).ToDisplay());
      }
      io.out << '\n';
    }
  }
  main.Form_Unload();
  return 0;
}

}  // namespace sorvane::cli
