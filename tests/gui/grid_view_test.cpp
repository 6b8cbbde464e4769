// The grids as they are seen: what a refresh repaints, column widths that fit the font on
// the screen, numbers never shown cut, the horizontal scroll bar, the read-times table
// following its newest row, and zoom.
#include "grid_view.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPaintEvent>
#include <QRegion>

#include "grid_model.h"
#include "gui_test_support.h"
#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"

namespace ln40::gui {
namespace {

using testing::App;
using testing::WaitFor;

// Collects what is painted of a widget.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(QWidget* widget) { widget->installEventFilter(this); }
  const QRegion& Painted() const { return painted_; }
  void Forget() { painted_ = QRegion(); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted_ += static_cast<QPaintEvent*>(event)->region();
    return false;
  }

 private:
  QRegion painted_;
};

class GridViewTest : public ::testing::Test {
 protected:
  GridViewTest() { App(); }

  // Shows `view` at a size that leaves part of a wide table outside.
  static void Show(GridView& view) {
    view.resize(420, 300);
    view.show();
    ASSERT_TRUE(WaitFor([&] { return view.isVisible() && view.viewport()->isVisible(); }));
    QTest::qWait(20);
  }
};

// A new sheet has one empty body row; an import writes its first runner there and appends
// the others. The row that was there before is repainted with the rows appended below it.
TEST_F(GridViewTest, TheFirstImportedRowIsDrawn) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  GridTableModel model(sheet);
  GridView view(&model);
  Show(view);
  PaintRecorder paints(view.viewport());

  const char* const given[] = {"Per", "Anne", "Ola"};
  for (int row = 1; row <= 3; ++row) {
    if (row >= sheet.RowCount()) sheet.AddRow();
    sheet.SetCell(runner_sheet::kFirstName, row, given[row - 1]);
  }
  model.Refresh();
  const QRect first_row = view.visualRect(model.index(0, runner_sheet::kFirstName));
  ASSERT_TRUE(view.viewport()->rect().contains(first_row));
  EXPECT_TRUE(WaitFor([&] { return paints.Painted().contains(first_row); }, 2000))
      << "the first row was not repainted";
  EXPECT_TRUE(paints.Painted().contains(view.visualRect(model.index(2, runner_sheet::kFirstName))));
}

}  // namespace
}  // namespace ln40::gui
