// The XML Spreadsheet of Excel 2002 and 2003 under an .xls name: every kind of
// cell reads as the same cell of an .xls workbook, through its style's number
// format (named or written), and a comment is no part of a cell's value.
#include <gtest/gtest.h>

#include "core/text.h"
#include "import/readers/workbook_reader.h"

namespace sorvane::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kDocument = R"(<?xml version="1.0"?>
<?mso-application progid="Excel.Sheet"?>
<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"
 xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet">
 <ExcelWorkbook xmlns="urn:schemas-microsoft-com:office:excel">$1904</ExcelWorkbook>
 <Styles>
  <Style ss:ID="Default" ss:Name="Normal"/>
  <Style ss:ID="d"><NumberFormat ss:Format="Short Date"/></Style>
  <Style ss:ID="f"><NumberFormat ss:Format="Fixed"/></Style>
  <Style ss:ID="p"><NumberFormat ss:Format="0.0%"/></Style>
  <Style ss:ID="child" ss:Parent="f"/>
  <Style ss:ID="iso"><NumberFormat ss:Format="yyyy\-mm\-dd"/></Style>
 </Styles>
 <Worksheet ss:Name="Notes"><Table><Row><Cell><Data ss:Type="String">see Results</Data></Cell>
 </Row></Table></Worksheet>
 <ss:Worksheet ss:Name="Results">
  <Table>
   <Row><Cell><Data ss:Type="String">SAM_ID</Data></Cell><Cell><Data ss:Type="String">CONC</Data>
   </Cell></Row>
   <Row ss:Index="3">
    <Cell><ss:Data ss:Type="String" xmlns="http://www.w3.org/TR/REC-html40"><B>MW-1</B>-040316</ss:Data>
     <Comment><ss:Data><B>checked</B></ss:Data></Comment></Cell>
    <Cell ss:StyleID="f"><Data ss:Type="Number">7.25</Data></Cell>
    <Cell ss:StyleID="d"><Data ss:Type="DateTime">2004-03-17T00:00:00.000</Data></Cell>
    <Cell ss:StyleID="p"><Data ss:Type="Number">0.125</Data></Cell>
    <Cell ss:StyleID="child"><Data ss:Type="Number">2</Data></Cell>
   </Row>
   <Row>
    <Cell ss:MergeAcross="1"><Data ss:Type="Boolean">1</Data></Cell>
    <Cell><Data ss:Type="Error">#N/A</Data></Cell>
    <Cell ss:Index="5" ss:StyleID="iso"><Data ss:Type="Number">38063.5</Data></Cell>
    <Cell ss:Index="7" ss:StyleID="f"/><Cell ss:Index="9"/>
   </Row>
  </Table>
 </ss:Worksheet>
</Workbook>
)";

// Each row's cells as shown, "|" and the kind after a cell that is no text;
// and the rows' cells as delivered.
std::pair<Rows, Rows> Read(const std::string& xml, int sheet, SheetShape& shape) {
  std::pair<Rows, Rows> out;
  ReadOptions options;
  options.sheet = sheet;
  shape = ReadWorkbookFromMemory(
      xml, "1234567_5.xls",
      [&](int64_t, const std::vector<std::string>& cells, const RowFormats& f) {
        auto& shown = out.first.emplace_back();
        for (size_t c = 0; c < cells.size(); ++c) {
          const auto kind = static_cast<int>(f.KindOf(c));
          shown.push_back(f.Shown(c, cells[c]) +
                          (kind != 0 && !cells[c].empty() ? "|" + std::to_string(kind) : ""));
        }
        while (!shown.empty() && shown.back().empty()) shown.pop_back();
        out.second.push_back(cells);
        return true;
      },
      options);
  return out;
}

TEST(XmlSpreadsheetTest, EveryKindOfCellReadsThroughItsStyle) {
  SheetShape shape;
  const auto [shown, cells] = Read(ReplaceAll(kDocument, "$1904", ""), 1, shape);
  EXPECT_EQ(shape.sheet_name, "Results");
  EXPECT_EQ(shape.format, "xml");
  EXPECT_EQ(shape.columns, 7);  // the styled empty cell counts, the bare one does not
  EXPECT_EQ(shown, (Rows{{"SAM_ID", "CONC"},
                         {},
                         {"MW-1-040316", "7.25|1", "3/17/2004|2", "12.5%|1", "2.00|1"},
                         {"TRUE|3", "", "#N/A|4", "", "2004-03-17|2"}}));
  EXPECT_EQ(cells[3][4], "3/17/2004 12:00:00");
  // Numbers count their days from 1904 where the workbook says so; a
  // DateTime is the date it writes either way.
  const auto in_1904 = Read(ReplaceAll(kDocument, "$1904", "<Date1904/>"), 1, shape).first;
  EXPECT_EQ(in_1904[2][2], "3/17/2004|2");
  EXPECT_EQ(in_1904[3][4], "2008-03-18|2");
  EXPECT_EQ(Read(kDocument, 0, shape).first, (Rows{{"see Results"}}));
  EXPECT_THROW(Read(kDocument, 2, shape), WorkbookError);
}

}  // namespace
}  // namespace sorvane::testing
