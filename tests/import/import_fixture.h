// A run state for the import stages: a data folder with its workbook folder and
// a full work database, the table structures loaded from MT_VBSTRUCTURE, and
// helpers that make a clean row of any table (facility 1234567, which T_SITE
// knows) and break one cell of it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/convert.h"
#include "import/import_workbook.h"
#include "import/table_structures.h"
#include "state/run_state.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"
#include "support/xlsx_writer.h"

namespace sorvane::testing {

using Cells = std::vector<std::string>;
using Sheet = std::vector<Cells>;

inline constexpr const char* kFacility = "1234567";

// Rows handed to ImportRows as a reader would hand them.
inline RowSource FromRows(Sheet rows) {
  return [rows = std::move(rows)](const ShownRowCallback& on_row, const ShapeCallback& on_shape) {
    SheetShape shape;
    shape.last_row = static_cast<int64_t>(rows.size());
    if (on_shape) on_shape(shape);
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!on_row(static_cast<int64_t>(i) + 1, rows[i], RowFormats{})) return;
    }
  };
}

class ImportTest : public ::testing::Test {
 protected:
  ImportTest() : state(ui, dir.paths()) {
    dir.CreateWorkDb();
    state.WorkConn.Open(dir.paths().WorkDb());
    LoadTableStructures(state);
    state.view.txtFacilityID.text = kFacility;
  }

  static Cells Names(const RecordSet& rs) {
    Cells names;
    for (const Field& f : rs.fields()) names.push_back(f.name);
    return names;
  }
  // The expected field names of table n, in structure order.
  Cells Header(int n) const { return Names(*state.TempRecordset[n]); }

  // A clean row of table n, with `changes` (field name -> text) applied.
  Cells Row(int n, const std::map<std::string, std::string>& changes = {}) const {
    Cells row;
    for (const Field& f : state.TempRecordset[n]->fields()) {
      auto it = changes.find(f.name);
      if (it != changes.end()) {
        row.push_back(it->second);
      } else if (f.name == "FAC_ID") {
        row.push_back(kFacility);
      } else if (f.type == kTypeInteger) {
        row.push_back("12");
      } else if (f.type == kTypeSingle) {
        row.push_back("1.5");
      } else if (f.type == kTypeDate) {
        row.push_back("3/15/2021");
      } else {
        row.push_back(f.name.substr(0, 1));
      }
    }
    return row;
  }

  // Header and rows of table n as a sheet.
  Sheet Table(int n, const std::vector<Cells>& rows) const {
    Sheet sheet{Header(n)};
    sheet.insert(sheet.end(), rows.begin(), rows.end());
    return sheet;
  }

  bool Import(int n, Sheet rows) { return ImportRows(state, n, FromRows(std::move(rows))); }

  // Field names of the sheet record set of table n.
  Cells SheetFields(int n) const { return Names(*state.SheetRecordset[n]); }

  // Row r of the sheet record set of table n as texts.
  Cells SheetRow(int n, int64_t r) const {
    const RecordSet& rs = *state.SheetRecordset[n];
    Cells out;
    for (size_t f = 0; f < rs.FieldCount(); ++f) out.emplace_back(rs.TextAt(r, f));
    return out;
  }

  // Text of field `name` in row r of the sheet of table n.
  std::string SheetText(int n, int64_t r, const std::string& name) const {
    const RecordSet& rs = *state.SheetRecordset[n];
    return std::string(rs.TextAt(r, static_cast<size_t>(rs.FieldIndex(name))));
  }

  const LabelState& Label(int n) { return state.StatusLabel(n); }

  // Writes `sheet` as the workbook of table n (1234567_n.xlsx) in GISFile.
  std::filesystem::path WriteWorkbook(int n, const Sheet& sheet) {
    XlsxRows rows;
    for (const Cells& r : sheet) rows.emplace_back(r.begin(), r.end());
    auto file =
        state.paths.WorkbookDir() / (std::string(kFacility) + "_" + std::to_string(n) + ".xlsx");
    WriteXlsx(file, rows);
    return file;
  }

  // The five workbooks of facility 1234567, each with `rows` clean rows.
  void WriteCleanSet(int rows = 2) {
    for (int n = 1; n <= 5; ++n) WriteWorkbook(n, Table(n, std::vector<Cells>(rows, Row(n))));
  }

  TempDataDir dir;
  ScriptedUi ui;
  RunState state;
};

}  // namespace sorvane::testing
