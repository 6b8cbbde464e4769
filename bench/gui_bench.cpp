// Reader messages appended to the read-times table through the Qt model while a table view
// shows it, on Qt's offscreen platform. The counter us_per_message is the cost of one
// message: the six cells written as the message handler writes them, the model's refresh
// and the view's update (row insertion, layout and paint of the visible rows), with one
// turn of the event loop after every message, as when each message arrives on its own.
//
//   WindowPath            the window's way: RequestRefresh() per message, so the screen
//                         catches up at most every 40 ms; a whole race of 50,000 messages
//                         into a fresh table per iteration.
//   WindowPathFollowing   the same with the view following its newest row, as the window's
//                         read-times table does while it is scrolled to its end: every
//                         refresh scrolls the view and paints the whole of it.
//   EveryMessagePainted   for reference: Refresh() per message, each message laid out and
//                         painted before the next; the last 1,000 messages of a 50,000-row
//                         table are timed.
//
// The runner sheet's editing keys and heading clicks through a shown view, on a sheet of
// 10,000 runners; each includes the model's update and the view's layout and paint.
//
//   InsertAndDeleteByKey  INS then DEL in the middle of the sheet; us_per_key. The views
//                         are told of the one row inserted or removed.
//   InsertAndDeleteShownAnew  for reference: the same two changes shown by model resets,
//                         as the views would learn of them without the keys' announcements.
//   SeriesPasteOverAColumn  Ctrl+V of two copied start numbers over the whole start number
//                         column: the series written, the rows refreshed; us_per_row.
//   HeadingClickSort      a left click in the middle of the start number heading: the sheet
//                         sorted (each click flips the direction), refreshed and painted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "grid_model.h"
#include "grid_view.h"
#include "sheet/runner_sheet.h"
#include "system_clipboard.h"
#include "table/grid_keys.h"
#include "timing/read_times_table.h"

namespace {

using ln40::TGridTable;
using ln40::gui::GridTableModel;
using ln40::gui::GridView;

constexpr int kRace = 50000;
constexpr int kPaintedMessages = 1000;

QApplication& App() {
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "gui_bench";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Appends message `n` as the message handler does: the raw text first, then the others.
void AppendMessage(TGridTable& table, int n) {
  char raw[32];
  char clock[16];
  std::snprintf(clock, sizeof clock, "%03d:%02d.%03d", (n / 60) % 1000, n % 60, (n * 7) % 1000);
  std::snprintf(raw, sizeof raw, "A01%06d%s\r", n % 1000000, clock);
  table.AddRow();
  const int row = table.RowCount() - 1;
  table.SetCell(ln40::read_times::kData, row, raw);
  table.SetCell(ln40::read_times::kNumber, row, std::to_string(row - 1));
  table.SetCell(ln40::read_times::kStartNumber, row, std::to_string(n % 1000000));
  table.SetCell(ln40::read_times::kText, row, "Time");
  table.SetCell(ln40::read_times::kReaderTime, row, clock);
  table.SetCell(ln40::read_times::kTime, row, "10:00:00");
}

// A read-times table with its model and a view on the screen, as on the "Read times" page.
struct Screen {
  Screen() : model(table), view(&model) {
    ln40::SetUpReadTimesTable(table);
    model.Reset();
    view.resize(600, 400);
    view.show();
    QApplication::processEvents();
  }
  TGridTable table;
  GridTableModel model;
  GridView view;
};

void SetPerMessage(benchmark::State& state, int messages) {
  state.counters["us_per_message"] = benchmark::Counter(static_cast<double>(state.iterations()) * messages * 1e-6,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void RunRace(benchmark::State& state, bool following) {
  App();
  for (auto _ : state) {
    state.PauseTiming();
    auto screen = std::make_unique<Screen>();
    screen->view.SetFollowsNewestRow(following);
    state.ResumeTiming();
    for (int n = 1; n <= kRace; ++n) {
      AppendMessage(screen->table, n);
      screen->model.RequestRefresh();
      QApplication::processEvents();
    }
    screen->model.Refresh();  // the last messages reach the screen too
    QApplication::processEvents();
    benchmark::DoNotOptimize(screen->model.rowCount());
    state.PauseTiming();
    screen.reset();
    state.ResumeTiming();
  }
  SetPerMessage(state, kRace);
}

void WindowPath(benchmark::State& state) { RunRace(state, false); }
BENCHMARK(WindowPath)->Unit(benchmark::kMillisecond)->Iterations(1);

void WindowPathFollowing(benchmark::State& state) { RunRace(state, true); }
BENCHMARK(WindowPathFollowing)->Unit(benchmark::kMillisecond)->Iterations(1);

void EveryMessagePainted(benchmark::State& state) {
  App();
  for (auto _ : state) {
    state.PauseTiming();
    auto screen = std::make_unique<Screen>();
    for (int n = 1; n <= kRace - kPaintedMessages; ++n) AppendMessage(screen->table, n);
    screen->model.Refresh();
    QApplication::processEvents();
    state.ResumeTiming();
    for (int n = kRace - kPaintedMessages + 1; n <= kRace; ++n) {
      AppendMessage(screen->table, n);
      screen->model.Refresh();
      QApplication::processEvents();
    }
    benchmark::DoNotOptimize(screen->model.rowCount());
    state.PauseTiming();
    screen.reset();
    state.ResumeTiming();
  }
  SetPerMessage(state, kPaintedMessages);
}
BENCHMARK(EveryMessagePainted)->Unit(benchmark::kMillisecond)->Iterations(1);

constexpr int kRunners = 10000;

// A runner sheet with its key handler, model and a view on the screen, as on the
// "Excel timing" page.
struct SheetScreen {
  SheetScreen() : keys(table, ln40::RunnerSheetNavigation(), clipboard), model(table), view(&model) {
    ln40::SetUpRunnerSheet(table);
    table.SetRowCount(kRunners + 1);
    for (int row = 1; row <= kRunners; ++row) {
      table.SetCell(ln40::runner_sheet::kFirstName, row, "Runner" + std::to_string(row));
      table.SetCell(ln40::runner_sheet::kLastName, row, "Lie");
      table.SetCell(ln40::runner_sheet::kClass, row, row % 2 ? "H21" : "D21");
      table.SetCell(ln40::runner_sheet::kStartNumber, row, std::to_string((row * 7919) % kRunners + 1));
    }
    model.Reset();
    view.SetKeyHandler(&keys);
    view.resize(700, 400);
    view.show();
    QApplication::processEvents();
  }
  TGridTable table;
  ln40::gui::SystemTextClipboard clipboard;
  ln40::GridKeyHandler keys;
  GridTableModel model;
  GridView view;
};

ln40::GridKeyEvent Key(ln40::GridKey key, bool ctrl = false) {
  ln40::GridKeyEvent event;
  event.key = key;
  event.ctrl = ctrl;
  return event;
}

void InsertAndDeleteByKey(benchmark::State& state) {
  App();
  SheetScreen screen;
  const QModelIndex middle = screen.model.index(kRunners / 2, ln40::runner_sheet::kClub);
  screen.view.setCurrentIndex(middle);
  screen.view.scrollTo(middle);
  QApplication::processEvents();
  for (auto _ : state) {
    screen.view.RunKey(Key(ln40::GridKey::Insert));
    QApplication::processEvents();
    screen.view.RunKey(Key(ln40::GridKey::Delete));
    QApplication::processEvents();
  }
  state.counters["us_per_key"] = benchmark::Counter(static_cast<double>(state.iterations()) * 2 * 1e-6,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(InsertAndDeleteByKey)->Unit(benchmark::kMicrosecond);

void InsertAndDeleteShownAnew(benchmark::State& state) {
  App();
  SheetScreen screen;
  const int row = kRunners / 2 + 1;
  const QModelIndex middle = screen.model.index(kRunners / 2, ln40::runner_sheet::kClub);
  screen.view.setCurrentIndex(middle);
  screen.view.scrollTo(middle);
  QApplication::processEvents();
  for (auto _ : state) {
    screen.table.InsertRow(row);
    screen.model.Reset();
    QApplication::processEvents();
    screen.table.DeleteRow(row);
    screen.model.Reset();
    QApplication::processEvents();
  }
  state.counters["us_per_key"] = benchmark::Counter(static_cast<double>(state.iterations()) * 2 * 1e-6,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(InsertAndDeleteShownAnew)->Unit(benchmark::kMicrosecond);

void SeriesPasteOverAColumn(benchmark::State& state) {
  App();
  SheetScreen screen;
  const int col = ln40::runner_sheet::kStartNumber;
  for (auto _ : state) {
    state.PauseTiming();
    screen.clipboard.SetText("101\r\n102\r\n");
    screen.view.setCurrentIndex(screen.model.index(0, col));
    screen.view.selectionModel()->select(
        QItemSelection(screen.model.index(0, col), screen.model.index(kRunners - 1, col)),
        QItemSelectionModel::ClearAndSelect);
    QApplication::processEvents();
    state.ResumeTiming();
    screen.view.RunKey(Key(ln40::GridKey::V, true));
    QApplication::processEvents();
  }
  if (screen.table.Cell(col, kRunners) != std::to_string(100 + kRunners)) state.SkipWithError("no series");
  state.counters["us_per_row"] = benchmark::Counter(static_cast<double>(state.iterations()) * kRunners * 1e-6,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(SeriesPasteOverAColumn)->Unit(benchmark::kMillisecond);

void HeadingClickSort(benchmark::State& state) {
  App();
  SheetScreen screen;
  QHeaderView* header = screen.view.horizontalHeader();
  const int col = ln40::runner_sheet::kStartNumber;
  const QPointF at(header->sectionViewportPosition(col) + header->sectionSize(col) / 2, header->height() / 2);
  const QPointF global = header->viewport()->mapToGlobal(at);
  for (auto _ : state) {
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &release);
    QApplication::processEvents();
  }
  if (screen.table.SortColumn() != col) state.SkipWithError("no sort");
}
BENCHMARK(HeadingClickSort)->Unit(benchmark::kMillisecond);

}  // namespace
