// The grid model over record sets: what a grid shows of a record set, and that
// it follows the record set when a window re-opens it on another query.
#include "record_set_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "core/convert.h"
#include "ui_test_support.h"

namespace sorvane::testing {
namespace {

std::shared_ptr<RecordSet> Wells() {
  auto rs = std::make_shared<RecordSet>();
  rs->AppendField("POINT_ID", kTypeVarChar, 20);
  rs->AppendField("TOC", kTypeSingle, 0);
  rs->AppendField("INSTALL_DATE", kTypeDate, 0);
  rs->Open();
  const struct {
    const char* id;
    std::optional<double> toc;
    std::optional<Date> installed;
  } rows[] = {{"MW-2", 712.5, Date::FromParts(2001, 5, 14)},
              {"MW-1", std::nullopt, Date::FromParts(1999, 12, 1, 8, 30)},
              {"mw-3", 0.25, std::nullopt}};
  for (const auto& r : rows) {
    rs->AddNew();
    rs->SetValue(0, Value::Text(r.id));
    if (r.toc) rs->SetValue(1, Value::Real(*r.toc));
    if (r.installed) rs->SetValue(2, Value::FromDate(*r.installed));
  }
  return rs;
}

class RecordSetModelTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApp(); }
  QString Cell(int row, int column) { return model.data(model.index(row, column)).toString(); }
  gui::RecordSetModel model;
};

TEST_F(RecordSetModelTest, ShowsValuesAsAPersonSeesThemAndFollowsSortsAndReopenings) {
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  auto rs = Wells();
  model.SetSource(rs);
  ASSERT_EQ(model.rowCount(), 3);
  ASSERT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "INSTALL_DATE");
  const QStringList shown = {Cell(0, 1), Cell(0, 2), Cell(1, 1), Cell(1, 2), Cell(2, 1)};
  EXPECT_EQ(shown, QStringList({"712.5", "5/14/2001", "", "12/1/1999 8:30:00", "0.25"}));
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  rs->Sort("POINT_ID");
  model.Sync();
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(Cell(0, 0), "MW-1");
  // Nothing changed since: no reset, so a grid keeps its scroll position.
  model.Sync();
  EXPECT_EQ(resets.count(), 1);
  // A check window runs every query on one record set: two checks may well
  // return the same number of rows and columns.
  RecordSet other = *Wells();
  other.MoveFirst();
  other.SetValue(0, Value::Text("MW-7"));
  *rs = other;
  model.SetSource(rs);
  EXPECT_EQ(Cell(0, 0), "MW-7");
}

TEST_F(RecordSetModelTest, NeverReadsPastRowsThatWentAwayBeforeTheNextSync) {
  auto rs = Wells();
  model.SetSource(rs);
  rs->Clear();
  EXPECT_EQ(model.rowCount(), 3);  // as last synced
  EXPECT_FALSE(model.data(model.index(2, 2)).isValid());
  rs->Reset();
  EXPECT_FALSE(model.data(model.index(0, 0)).isValid());
  EXPECT_FALSE(model.headerData(1, Qt::Horizontal).isValid());
  model.Sync();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.columnCount(), 0);
}

}  // namespace
}  // namespace sorvane::testing
