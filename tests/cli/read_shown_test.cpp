// `sorvane read` on formatted and encrypted workbooks: stored values by
// default, displayed texts with --as-shown, and the password from the option or
// the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli_run.h"
#include "support/work_db.h"
#include "support/xlsx_writer.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::RunCommand;

TEST(ReadShownCommand, AsShownAppliesTheNumberFormats) {
  testing::TempDataDir dir;
  const fs::path book = dir.dir() / "ids.xlsx";
  testing::WriteXlsx(
      book, {{"FAC_ID", "AMOUNT", "DAY"},
             {testing::XlsxCell(123456.0, "0000000"), testing::XlsxCell(1234.5, "#,##0.00"),
              testing::XlsxCell(38063.0, "d-mmm-yy")}});
  EXPECT_EQ(RunCommand({"read", book.string()}).out,
            "FAC_ID\tAMOUNT\tDAY\n123456\t1234.5\t3/17/2004\n");
  EXPECT_EQ(RunCommand({"read", "--as-shown", book.string()}).out,
            "FAC_ID\tAMOUNT\tDAY\n0123456\t1,234.50\t17-Mar-04\n");
}

TEST(ReadShownCommand, PasswordComesFromTheOptionOrTheEnvironment) {
  const fs::path book = fs::path(SORVANE_CORPUS_DIR) / "xls/poi_35897-type4.xls";
  if (!fs::exists(book)) GTEST_SKIP() << "the shared corpus is absent";
  EXPECT_EQ(RunCommand({"read", book.string()}).code, 2);
  EXPECT_EQ(RunCommand({"read", "--password", "guess", book.string()}).code, 2);
  EXPECT_EQ(RunCommand({"read", "--password", "freedom", book.string()}).out, "hello there!\n");
  setenv("SORVANE_WORKBOOK_PASSWORD", "freedom", 1);
  CliRun from_env = RunCommand({"read", book.string()});
  unsetenv("SORVANE_WORKBOOK_PASSWORD");
  EXPECT_EQ(from_env.out, "hello there!\n");
}

}  // namespace
}  // namespace sorvane
