// The grid model and view over a TGridTable: header row, appended rows as insertions,
// resets on other shape changes, merged group headings, hidden columns, widths, editing.
#include "grid_model.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QHeaderView>
#include <QSignalSpy>
#include <cmath>

#include "grid_view.h"
#include "gui_test_support.h"
#include "timing/read_times_table.h"

namespace ln40::gui {
namespace {

using testing::App;

void AppendMessage(TGridTable& table, const std::string& start_number, const std::string& kind) {
  table.AddRow();
  const int row = table.RowCount() - 1;
  table.SetCell(read_times::kNumber, row, std::to_string(row - 1));
  table.SetCell(read_times::kStartNumber, row, start_number);
  table.SetCell(read_times::kText, row, kind);
}

class GridModelTest : public ::testing::Test {
 protected:
  GridModelTest() {
    App();
    SetUpReadTimesTable(table_);
  }
  TGridTable table_;
};

TEST_F(GridModelTest, RowZeroIsTheHeaderAndBodyRowsFollow) {
  GridTableModel model(table_);
  EXPECT_EQ(model.columnCount(), 6);
  EXPECT_EQ(model.rowCount(), 1);  // the empty body row of a new table
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Kivono/startno"));
  EXPECT_TRUE(model.headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());

  AppendMessage(table_, "12", "Time");
  model.Refresh();
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), QStringLiteral("12"));
  EXPECT_EQ(model.data(model.index(0, 1)).toString(), QString());
}

TEST_F(GridModelTest, AppendedRowsAreInsertedWithoutAReset) {
  GridTableModel model(table_);
  GridView view(&model);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

  for (int i = 0; i < 3; ++i) AppendMessage(table_, std::to_string(10 + i), "Time");
  model.Refresh();
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), 1);
  EXPECT_EQ(inserted[0][2].toInt(), 3);
  EXPECT_EQ(reset.count(), 0);
  EXPECT_EQ(view.model()->rowCount(), 4);

  // A refresh with nothing new neither inserts nor resets.
  model.Refresh();
  EXPECT_EQ(inserted.count(), 1);
  EXPECT_EQ(reset.count(), 0);

  // Clearing the table (rows shrink) shows it anew.
  ClearReadTimesOnOpen(table_, true);
  model.Refresh();
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(model.rowCount(), 1);
}

TEST_F(GridModelTest, GroupingMergesTheHeadingsAndTakesTheColumnAway) {
  for (const char* kind : {"Time", "Sync", "Time", "Starttime"}) AppendMessage(table_, "7", kind);
  GridTableModel model(table_);
  GridView view(&model);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

  ReadTimesHeaderRightClick(table_, 0, read_times::kText);
  model.Refresh();
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(model.columnCount(), 5);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("LN20 time"));
  int headings = 0;
  for (int row = 0; row < model.rowCount(); ++row) {
    if (table_.KindOfRow(GridTableModel::TableRow(row)) != RowKind::GroupHeading) {
      EXPECT_EQ(view.columnSpan(row, 1), 1);
      continue;
    }
    ++headings;
    EXPECT_EQ(view.columnSpan(row, 1), 4) << "row " << row;
    EXPECT_TRUE(model.data(model.index(row, 1), Qt::FontRole).value<QFont>().bold());
  }
  EXPECT_EQ(headings, 4);  // "", "Starttime", "Sync", "Time"

  // A right-click on "#" brings the column back and the merges go.
  ReadTimesHeaderRightClick(table_, 0, 0);
  model.Refresh();
  EXPECT_EQ(model.columnCount(), 6);
  for (int row = 0; row < model.rowCount(); ++row) EXPECT_EQ(view.columnSpan(row, 1), 1);
}

TEST_F(GridModelTest, HiddenColumnsAndWidthsFollowTheTable) {
  GridTableModel model(table_);
  GridView view(&model);
  // The table's widths are shown scaled to the font on the screen.
  const double scale = view.WidthScale();
  EXPECT_GE(view.columnWidth(read_times::kNumber), std::lround(35 * scale));
  EXPECT_EQ(view.columnWidth(read_times::kData), std::lround(139 * scale));

  table_.HideColumn(read_times::kReaderTime);
  model.Refresh();
  EXPECT_TRUE(view.isColumnHidden(read_times::kReaderTime));
  table_.ShowAllColumns();
  model.Refresh();
  EXPECT_FALSE(view.isColumnHidden(read_times::kReaderTime));
  EXPECT_EQ(view.columnWidth(read_times::kReaderTime), std::lround(92 * scale));

  // A width dragged in the header is the table's width from then on, in the table's pixels.
  view.horizontalHeader()->resizeSection(read_times::kTime, static_cast<int>(std::lround(150 * scale)));
  EXPECT_EQ(table_.ColumnWidth(read_times::kTime), 150);
}

TEST_F(GridModelTest, EditsAreWrittenToTheTableInItsCodePage) {
  GridTableModel model(table_);
  const QModelIndex cell = model.index(0, read_times::kText);
  ASSERT_TRUE(model.flags(cell) & Qt::ItemIsEditable);
  ASSERT_TRUE(model.setData(cell, QStringLiteral("Løype")));
  EXPECT_EQ(table_.Cell(read_times::kText, 1), "L\xF8ype");
  EXPECT_EQ(model.data(cell).toString(), QStringLiteral("Løype"));
}

TEST_F(GridModelTest, RequestedRefreshesComeAtMostOncePerInterval) {
  GridTableModel model(table_);
  model.SetRefreshInterval(300);
  QSignalSpy refreshed(&model, &GridTableModel::refreshed);

  // The first request after a quiet spell is served at once.
  AppendMessage(table_, "1", "Time");
  model.RequestRefresh();
  EXPECT_EQ(refreshed.count(), 1);
  EXPECT_EQ(model.rowCount(), 2);

  // Those right after it wait for the end of the interval and are served together.
  AppendMessage(table_, "2", "Time");
  model.RequestRefresh();
  AppendMessage(table_, "3", "Time");
  model.RequestRefresh();
  EXPECT_EQ(refreshed.count(), 1);
  EXPECT_EQ(model.rowCount(), 2);
  ASSERT_TRUE(testing::WaitFor([&] { return refreshed.count() == 2; }));
  EXPECT_EQ(model.rowCount(), 4);
}

TEST_F(GridModelTest, BodyRowsAlternateBetweenTheTwoBands) {
  for (int i = 0; i < 2; ++i) AppendMessage(table_, "1", "Time");
  GridTableModel model(table_);
  model.SetBands(QColor(Qt::yellow), QColor(Qt::white));
  model.Refresh();
  EXPECT_EQ(model.data(model.index(0, 0), Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
  EXPECT_EQ(model.data(model.index(1, 0), Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));
  EXPECT_EQ(model.data(model.index(2, 0), Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
}

}  // namespace
}  // namespace ln40::gui
