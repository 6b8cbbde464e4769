// The grids as they are seen: what a refresh repaints, column widths that fit the font on
// the screen, numbers never shown cut, the horizontal scroll bar, the read-times table
// following its newest row, and zoom.
#include "grid_view.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPaintEvent>
#include <QRegion>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QStyle>
#include <QStyleOptionHeader>
#include <cmath>
#include <filesystem>
#include <unistd.h>

#include "grid_model.h"
#include "app/settings_file.h"
#include "app/settings_store.h"
#include "gui_test_support.h"
#include "link/discovery_sysfs.h"
#include "main_window.h"
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

bool RowInSight(const GridView& view, int model_row) {
  const QRect cell = view.visualRect(view.model()->index(model_row, 1));
  return view.viewport()->rect().contains(cell);
}

// Messages arriving one by one: while the view is at the table's end the newest row is
// in sight; scrolled up by the user, the view stays until the user is back at the end.
TEST_F(GridViewTest, TheReadTimesTableFollowsItsNewestRowWhileAtItsEnd) {
  TGridTable times;
  SetUpReadTimesTable(times);
  GridTableModel model(times);
  model.SetRefreshInterval(0);
  GridView view(&model);
  view.SetFollowsNewestRow(true);
  const auto message = [&] {
    times.AddRow();
    const int row = times.RowCount() - 1;
    times.SetCell(read_times::kNumber, row, std::to_string(row - 1));
    model.RequestRefresh();
  };
  // The first messages come while the view is not shown yet (another page is in front).
  for (int i = 0; i < 100; ++i) message();
  Show(view);
  EXPECT_TRUE(RowInSight(view, model.rowCount() - 1));
  for (int i = 100; i < 500; ++i) {
    message();
    if (i % 50 == 0) QTest::qWait(0);
  }
  QTest::qWait(0);
  EXPECT_TRUE(RowInSight(view, model.rowCount() - 1));
  QScrollBar* bar = view.verticalScrollBar();
  EXPECT_EQ(bar->value(), bar->maximum());

  // The user looks at the first messages; new ones do not take the view away.
  bar->setValue(0);
  for (int i = 0; i < 10; ++i) message();
  QTest::qWait(0);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_TRUE(RowInSight(view, 0));
  EXPECT_FALSE(RowInSight(view, model.rowCount() - 1));

  // Back at the end, the view follows again.
  bar->setValue(bar->maximum());
  message();
  QTest::qWait(0);
  EXPECT_TRUE(RowInSight(view, model.rowCount() - 1));
}

// A message matched to a runner makes the runner's start number the sheet's current cell;
// the view shows it there.
TEST_F(GridViewTest, TheSheetShowsTheMatchedRunner) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  for (int row = 1; row <= 300; ++row) {
    if (row >= sheet.RowCount()) sheet.AddRow();
    sheet.SetCell(runner_sheet::kStartNumber, row, std::to_string(row));
  }
  GridTableModel model(sheet);
  GridView view(&model);
  view.SetFollowsCurrentCell(true);
  Show(view);
  ASSERT_FALSE(RowInSight(view, 249));

  ASSERT_EQ(sheet.FindInColumn(runner_sheet::kStartNumber, "250"), 250);
  sheet.SetCell(runner_sheet::kFinish, 250, "10:45:01");
  model.Refresh();
  EXPECT_EQ(view.currentIndex(), model.index(249, runner_sheet::kStartNumber));
  EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));

  // A number no runner has moves only the current column; what the user selected stays.
  const QItemSelection chosen(model.index(249, runner_sheet::kFirstName), model.index(250, runner_sheet::kClub));
  view.setCurrentIndex(model.index(249, runner_sheet::kFirstName));
  view.selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(sheet.FindInColumn(runner_sheet::kStartNumber, "999"), -1);
  model.Refresh();
  EXPECT_EQ(view.currentIndex(), model.index(249, runner_sheet::kFirstName));
  EXPECT_EQ(view.selectionModel()->selectedIndexes().size(), 2 * 4);
}

// The rectangle of `bar`'s thumb, and of its groove, as its style lays them out.
QRect ScrollBarPart(const QScrollBar& bar, QStyle::SubControl part) {
  QStyleOptionSlider option;
  option.initFrom(&bar);
  option.orientation = bar.orientation();
  option.minimum = bar.minimum();
  option.maximum = bar.maximum();
  option.sliderPosition = bar.sliderPosition();
  option.sliderValue = bar.value();
  option.singleStep = bar.singleStep();
  option.pageStep = bar.pageStep();
  option.subControls = QStyle::SC_All;
  return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar);
}

// The runner sheet is wider than its page. Scrolled to its left end, the scroll bar is at
// its minimum and its thumb, drawn darker than the track, lies at the left.
TEST_F(GridViewTest, TheSheetsScrollBarShowsItsThumbAtTheLeftEnd) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  GridTableModel model(sheet);
  GridView view(&model);
  Show(view);
  QScrollBar* bar = view.horizontalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  ASSERT_LT(bar->minimum(), bar->maximum());

  view.scrollTo(model.index(0, runner_sheet::kColumnCount - 1));
  EXPECT_EQ(bar->value(), bar->maximum());
  view.scrollTo(model.index(0, 0));
  EXPECT_EQ(bar->value(), bar->minimum());
  EXPECT_EQ(view.columnViewportPosition(0), 0);

  const QRect thumb = ScrollBarPart(*bar, QStyle::SC_ScrollBarSlider);
  const QRect groove = ScrollBarPart(*bar, QStyle::SC_ScrollBarGroove);
  EXPECT_LE(thumb.left() - groove.left(), 3);
  ASSERT_LT(thumb.right() + 10, groove.right());
  // What is drawn at the thumb's middle is darker than the empty track right of it.
  const QImage drawn = bar->grab().toImage();
  const double ratio = drawn.devicePixelRatio();  // the image's pixels per widget pixel
  const auto drawn_at = [&](int x) {
    return drawn.pixelColor(static_cast<int>(x * ratio), static_cast<int>(groove.center().y() * ratio));
  };
  const QColor in_thumb = drawn_at(thumb.center().x());
  const QColor in_track = drawn_at((thumb.right() + groove.right()) / 2);
  EXPECT_LT(in_thumb.lightness() + 20, in_track.lightness())
      << in_thumb.name().toStdString() << " in the thumb, " << in_track.name().toStdString() << " in the track";
}

// What a user sees of column `col`'s heading: whether the header section holds its text
// with the style's margins (and the sort mark beside it).
bool HeadingFits(const GridView& view, int col) {
  const QHeaderView* header = view.horizontalHeader();
  QStyleOptionHeader option;
  option.initFrom(header);
  const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, &option, header);
  const QString text = view.model()->headerData(col, Qt::Horizontal).toString();
  int needed = QFontMetrics(header->font()).horizontalAdvance(text) + 2 * margin;
  if (header->sortIndicatorSection() == col) needed += header->height() / 2 + margin;
  return header->sectionSize(col) >= needed;
}

TEST_F(GridViewTest, HeadingsAndFiveDigitNumbersAreShownWholeAtEveryZoom) {
  TGridTable times;
  SetUpReadTimesTable(times);
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  for (TGridTable* table : {&times, &sheet}) {
    for (int col = 0; col < table->ColCount(); ++col) table->SetCell(col, 1, "12345");
  }
  for (TGridTable* table : {&times, &sheet}) {
    GridTableModel model(*table);
    GridView view(&model);
    Show(view);
    int last_width = 0;
    for (const int zoom : {100, ZoomAfterSteps(100, 1), ZoomAfterSteps(100, 2)}) {
      view.SetZoom(zoom);
      for (int col = 0; col < model.columnCount(); ++col) {
        const QString heading = model.headerData(col, Qt::Horizontal).toString();
        EXPECT_TRUE(HeadingFits(view, col)) << heading.toStdString() << " at " << zoom << "%";
        EXPECT_EQ(view.ShownText(model.index(0, col)), QStringLiteral("12345"))
            << heading.toStdString() << " at " << zoom << "%";
      }
      // Font and widths grow together.
      EXPECT_GT(view.columnWidth(model.columnCount() - 1), last_width) << zoom;
      last_width = view.columnWidth(model.columnCount() - 1);
    }
  }
}

TEST_F(GridViewTest, TheTablesWidthsAreScaledToTheFontOnTheScreen) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  GridTableModel model(sheet);
  GridView view(&model);
  // Digits 6 pixels wide are the font the widths were made for.
  const double digit = QFontMetricsF(view.font()).horizontalAdvance(QStringLiteral("0123456789")) / 10;
  EXPECT_DOUBLE_EQ(view.WidthScale(), digit / 6);
  EXPECT_EQ(view.columnWidth(runner_sheet::kFirstName),
            std::max<long>(std::lround(64 * digit / 6), view.ShownColumnWidth(runner_sheet::kFirstName)));
  // The table keeps the widths it was given.
  EXPECT_EQ(sheet.ColumnWidth(runner_sheet::kFirstName), 64);
  view.SetZoom(200);
  EXPECT_EQ(sheet.ColumnWidth(runner_sheet::kFirstName), 64);
}

TEST_F(GridViewTest, ANumberTooWideForItsCellIsShownAsHashesNeverCut) {
  TGridTable times;
  SetUpReadTimesTable(times);
  times.SetCell(read_times::kNumber, 1, "12345");
  times.SetCell(read_times::kTime, 1, "10:32:10");
  times.SetCell(read_times::kData, 1, "Nydalens Skiklub");
  GridTableModel model(times);
  GridView view(&model);
  Show(view);
  for (const int col : {read_times::kNumber, read_times::kTime, read_times::kData}) {
    view.horizontalHeader()->resizeSection(col, 30);
  }
  for (const int col : {read_times::kNumber, read_times::kTime}) {
    const QString shown = view.ShownText(model.index(0, col));
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown, QString(shown.size(), QLatin1Char('#'))) << shown.toStdString();
  }
  // A text may be cut; it says so with its ellipsis.
  const QString name = view.ShownText(model.index(0, read_times::kData));
  EXPECT_TRUE(name.endsWith(QChar(0x2026))) << name.toStdString();
}

TEST_F(GridViewTest, ZoomGoesInStepsWithinItsLimits) {
  struct Case {
    int from, steps, to;
  };
  for (const Case& c : {Case{100, 1, 110}, Case{100, -1, 90}, Case{100, 2, 125}, Case{400, 1, 400},
                        Case{50, -1, 50}, Case{130, 1, 150}, Case{130, -1, 125}, Case{100, -20, 50}}) {
    EXPECT_EQ(ZoomAfterSteps(c.from, c.steps), c.to) << c.from << " " << c.steps;
  }
}

// The window's zoom keys and Ctrl+wheel zoom both grids together and are kept for the next
// start.
TEST_F(GridViewTest, TheWindowZoomsBothGridsAndKeepsTheZoom) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("ln40zoom" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const auto open_window = [&] {
    WindowSetup setup;
    setup.data_folder = folder.string() + "/";
    setup.settings_path = (folder / "vexa" / "ln40util.conf").string();
    setup.locale = Locale::WorkedExample();
    setup.clock = std::make_unique<FixedClock>(46364.5);
    setup.devices = std::make_unique<SysfsSerialDevices>((folder / "no-sysfs").string(), "");
    return std::make_unique<MainWindow>(std::move(setup));
  };
  {
    auto window = open_window();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));  // shortcuts go to the active window
    window->SelectPage(1);
    GridView* sheet = window->SheetView();
    GridView* times = window->ReadTimesView();
    const int width = sheet->columnWidth(0);
    const qreal size = sheet->font().pointSizeF();

    QTest::keyClick(sheet, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(window->GridZoom(), ZoomAfterSteps(100, 1));
    QTest::keyClick(sheet, Qt::Key_Equal, Qt::ControlModifier);  // plus without Shift
    EXPECT_EQ(window->GridZoom(), ZoomAfterSteps(100, 2));
    for (GridView* view : {sheet, times}) EXPECT_EQ(view->Zoom(), window->GridZoom());
    EXPECT_GT(sheet->font().pointSizeF(), size);
    EXPECT_GT(sheet->columnWidth(0), width);
    EXPECT_GT(sheet->verticalHeader()->defaultSectionSize(), QFontMetrics(QFont(sheet->font())).height() - 1);

    // A wheel notch with Ctrl held zooms; without Ctrl it scrolls.
    const QPoint at = sheet->viewport()->rect().center();
    QWheelEvent notch(at, sheet->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(sheet->viewport(), &notch);
    EXPECT_EQ(window->GridZoom(), ZoomAfterSteps(100, 3));
    QTest::keyClick(sheet, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(window->GridZoom(), ZoomAfterSteps(100, 2));
    TSettingsFile stored((folder / "vexa" / "ln40util.conf").string());
    EXPECT_EQ(ReadGridZoom(stored), ZoomAfterSteps(100, 2));

    QTest::keyClick(sheet, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(window->GridZoom(), 100);
    EXPECT_EQ(sheet->columnWidth(0), width);
    QTest::keyClick(sheet, Qt::Key_Plus, Qt::ControlModifier);
  }
  auto window = open_window();
  EXPECT_EQ(window->GridZoom(), ZoomAfterSteps(100, 1));
  EXPECT_EQ(window->ReadTimesView()->Zoom(), ZoomAfterSteps(100, 1));
  window.reset();
  fs::remove_all(folder);
}

}  // namespace
}  // namespace ln40::gui
