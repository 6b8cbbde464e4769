#pragma once
// What the window tests share: one QApplication on Qt's offscreen platform, created on
// first use (after gtest has listed the tests, so listing needs no display), and a wait
// that keeps the event loop running.
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <deque>
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

// Answers the modal dialogs a command brings up, one handler per dialog, in order. A dialog
// is answered from inside its own event loop only: answered while it is still being shown
// (events are dispatched there too), it would start its loop after being closed and wait
// for ever. A destroyed dialog's address may come back for the next one; the guarded
// pointer tells them apart.
class ModalAnswers {
 public:
  using Handler = std::function<void(QWidget&)>;
  explicit ModalAnswers(std::deque<Handler> handlers)
      : handlers_(std::move(handlers)), outer_loop_level_(QThread::currentThread()->loopLevel()) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (QThread::currentThread()->loopLevel() <= outer_loop_level_) return;
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == last_.data() || handlers_.empty()) return;
      last_ = modal;
      Handler handler = std::move(handlers_.front());
      handlers_.pop_front();
      handler(*modal);
    });
    poll_.start(10);
  }
  bool AllAnswered() const { return handlers_.empty(); }

 private:
  std::deque<Handler> handlers_;
  int outer_loop_level_;
  QTimer poll_;
  QPointer<QWidget> last_;
};

}  // namespace ln40::gui::testing
