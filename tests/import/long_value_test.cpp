// A cell too long for any field is named in the message by its first few
// hundred characters and its length, never echoed whole.
#include "import/import_fixture.h"

namespace sorvane::testing {
namespace {

class LongValueTest : public ImportTest {};

TEST_F(LongValueTest, ValueTooLongForTheSheetIsCutInTheMessage) {
  Cells row = Row(3);
  row[1] = std::string(17'000'000, 'x');
  EXPECT_FALSE(ImportRows(state, 3, FromRows({Header(3), row})));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "A value (" + std::string(300, 'x') +
                                "\u2026(17000000 characters)) in Table 3 appears to be longer "
                                "than the allowed length.");
  EXPECT_EQ(state.StatusLabel(3).caption,
            "One of the values appears to be longer than the allowed length.");
}

}  // namespace
}  // namespace sorvane::testing
