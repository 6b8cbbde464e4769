// Reader messages appended to the read-times table through the Qt model while a table view
// shows it, on Qt's offscreen platform. The counter us_per_message is the cost of one
// message: the six cells written as the message handler writes them, the model's refresh
// and the view's update (row insertion, layout and paint of the visible rows), with one
// turn of the event loop after every message, as when each message arrives on its own.
//
//   WindowPath            the window's way: RequestRefresh() per message, so the screen
//                         catches up at most every 40 ms; a whole race of 50,000 messages
//                         into a fresh table per iteration.
//   EveryMessagePainted   for reference: Refresh() per message, each message laid out and
//                         painted before the next; the last 1,000 messages of a 50,000-row
//                         table are timed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "grid_model.h"
#include "grid_view.h"
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

void WindowPath(benchmark::State& state) {
  App();
  for (auto _ : state) {
    state.PauseTiming();
    auto screen = std::make_unique<Screen>();
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
BENCHMARK(WindowPath)->Unit(benchmark::kMillisecond)->Iterations(1);

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

}  // namespace
