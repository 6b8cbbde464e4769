#pragma once
// What the window tests share: one QApplication on Qt's offscreen platform, created on
// first use (after gtest has listed the tests, so listing needs no display), and a wait
// that keeps the event loop running.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <functional>

namespace ln40::gui::testing {

inline QApplication& App() {
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "gui_test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Runs the event loop until `done` holds or `ms` have passed; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QTest::qWait(5);
  }
  return true;
}

}  // namespace ln40::gui::testing
