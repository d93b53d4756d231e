#include "checks/check_view_state.h"

namespace sorvane {
namespace {

constexpr CheckViewMenu kMenus[] = {
    {"mnuRunChecksHeader", "Run Checks", ""},
    {"mnuRunChecks(1)", "Table 1", "mnuRunChecksHeader"},
    {"mnuRunChecks(2)", "Table 2", "mnuRunChecksHeader"},
    {"mnuRunChecks(3)", "Table 3", "mnuRunChecksHeader"},
    {"mnuRunChecks(4)", "Table 4", "mnuRunChecksHeader"},
    {"mnuRunChecks(5)", "Table 5", "mnuRunChecksHeader"},
    {"mnuRunChecks(6)", "-", "mnuRunChecksHeader"},
    {"mnuRunChecks(7)", "All Tables", "mnuRunChecksHeader"},
    {"mnuRunChecks(8)", "-", "mnuRunChecksHeader"},
    {"mnuRunChecks(9)", "Exit", "mnuRunChecksHeader"},
    {"mnuExcelHeader", "Output to Excel", ""},
    {"mnuExcelChecks(1)", "Table 1: Errors", "mnuExcelHeader"},
    {"mnuExcelChecks(2)", "Table 2: Errors", "mnuExcelHeader"},
    {"mnuExcelChecks(3)", "Table 3: Errors", "mnuExcelHeader"},
    {"mnuExcelChecks(4)", "Table 4: Errors", "mnuExcelHeader"},
    {"mnuExcelChecks(5)", "Table 5: Errors", "mnuExcelHeader"},
    {"mnuExcelChecks(6)", "-", "mnuExcelHeader"},
    {"mnuExcelChecks(7)", "Errors - All Tables", "mnuExcelHeader"},
    {"mnuExcelChecks(8)", "-", "mnuExcelHeader"},
    {"mnuMarkedCopies", "Marked Copies of the Workbooks", "mnuExcelHeader"},
    {"SPACE1", "", ""},
    {"mnuRefTitle", "View Reference Tables", ""},
    {"mnuRef(0)", "Sample Sources", "mnuRefTitle"},
    {"mnuRef(1)", "CAS List", "mnuRefTitle"},
    {"mnuRef(2)", "Laboratories", "mnuRefTitle"},
    {"mnuRef(3)", "Contracts", "mnuRefTitle"},
};

constexpr int kButtonLefts[] = {120, 3600, 6840};
constexpr int kLabelLefts[] = {600, 4080, 7320};
constexpr int kButtonTops[] = {120, 765, 1395, 2040, 2640, 3285};
constexpr int kLabelDrop = 75;  // a label sits a little lower than its button

}  // namespace

std::span<const CheckViewMenu> CheckViewMenus() { return kMenus; }

std::string RunChecksItem(int table) { return ControlName("mnuRunChecks", table); }
std::string ExcelChecksItem(int table) { return ControlName("mnuExcelChecks", table); }

CheckControlPlace CheckControlPosition(int index) {
  if (index < 0 || index >= kCheckControls) return {0, 0, 0, 0};
  const int column = index / 6;
  const int top = kButtonTops[index % 6];
  CheckControlPlace p{kButtonLefts[column], top, kLabelLefts[column], top + kLabelDrop};
  if (index == kMaxChecks) {
    p.button_left = 8400;
    p.label_left = 8880;
  }
  return p;
}

}  // namespace sorvane
