// The check history: what a table's checks found over earlier workbooks, and
// which problem rows are new or fixed since.
#include "checks/check_history.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using Rows = std::map<int, CheckHistory::CheckRows>;

TEST(CheckHistory, ComparesWithTheLastRunOverOtherWorkbooksPairingEqualRowsInOrder) {
  const auto dir = std::filesystem::temp_directory_path() / "sorvane-check-history-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  CheckHistory history(dir / "history.db");
  const Rows first = {{1, {3, {"MW-1", "MW-2", "MW-2"}}},
                      {2, {kMostRowsCompared + 1, {}, false}},
                      {3, {1, {"NEW\x1fLab A\x1f\x1e"}}}};
  EXPECT_FALSE(history.Record("1234567", 5, "a", "2026-12-01 09:00", first));

  const Rows second = {{1, {3, {"MW-2", "MW-9", "MW-1"}}}, {2, {1, {"x"}}}, {3, {0, {}}}};
  for (const char* workbooks : {"b", "b"}) {  // the same workbooks again: the same comparison
    const auto changes = history.Record("1234567", 5, workbooks, "2026-12-02 10:30", second);
    ASSERT_TRUE(changes);
    EXPECT_EQ(changes->since, "2026-12-01 09:00");
    const CheckChange& units = changes->checks.at(1);
    EXPECT_THAT(units.is_new, ElementsAre(false, true, false));
    EXPECT_EQ(DescribeChange(changes->since, units),
              "Since the checks of 2026-12-01 09:00: 3 problem rows then, 3 now (1 fixed, 1 new).\n"
              "Fixed: MW-2");
    EXPECT_EQ(changes->checks.count(2), 0u);  // too many rows then to compare
    EXPECT_EQ(
        DescribeChange(changes->since, changes->checks.at(3)),
        "Since the checks of 2026-12-01 09:00: 1 problem row then, none now (1 fixed, 0 new).\n"
        "Fixed: NEW, Lab A, ");
  }
  // Other tables and facilities have histories of their own.
  EXPECT_FALSE(history.Record("1234567", 4, "b", "2026-12-02 10:30", second));
  EXPECT_FALSE(history.Record("7654321", 5, "b", "2026-12-02 10:30", second));
  const auto third = history.Record("1234567", 5, "c", "2026-12-03 08:00", second);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->since, "2026-12-02 10:30");
  EXPECT_EQ(DescribeChange(third->since, third->checks.at(1)),
            "Since the checks of 2026-12-02 10:30: the same 3 problem rows.");
  EXPECT_EQ(DescribeChange(third->since, third->checks.at(3)), "");

  // A history that cannot be kept compares nothing and throws nothing; a
  // damaged one starts anew.
  std::filesystem::create_directories(dir / "folder.db");
  EXPECT_FALSE(CheckHistory(dir / "folder.db").Record("1234567", 5, "d", "now", second));
  std::ofstream(dir / "history.db") << "not a database";
  EXPECT_FALSE(history.Record("1234567", 5, "d", "2026-12-04 08:00", second));
  EXPECT_TRUE(history.Record("1234567", 5, "e", "2026-12-05 08:00", second));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace sorvane::testing
