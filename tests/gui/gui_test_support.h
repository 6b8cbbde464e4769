#pragma once
// What the window tests share: one QApplication on Qt's offscreen platform, created on
// first use (after gtest has listed the tests, so listing needs no display), and a wait
// that keeps the event loop running.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
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
    // Qt's own file dialog, whatever desktop the tests are started from: a platform one
    // has no widgets to answer.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
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
// pointer tells them apart. A handler answers at once, so a dialog still up a while after
// its answer, or one that no handler is left for, fails the test and is cancelled, so the
// command that showed it returns instead of waiting for ever.
class ModalAnswers {
 public:
  using Handler = std::function<void(QWidget&)>;
  explicit ModalAnswers(std::deque<Handler> handlers)
      : handlers_(std::move(handlers)), outer_loop_level_(QThread::currentThread()->loopLevel()) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start(10);
  }
  bool AllAnswered() const { return handlers_.empty(); }

 private:
  static constexpr int kStillUpMs = 3000;

  void Poll() {
    if (QThread::currentThread()->loopLevel() <= outer_loop_level_) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (modal == last_.data()) {
      if (answered_.elapsed() < kStillUpMs) return;
      ADD_FAILURE() << "the dialog \"" << modal->windowTitle().toStdString() << "\" is still up " << answered_.elapsed()
                    << " ms after its answer";
      Cancel(*modal);
      return;
    }
    if (handlers_.empty()) {
      ADD_FAILURE() << "no answer left for the dialog \"" << modal->windowTitle().toStdString() << "\"";
      Cancel(*modal);
      return;
    }
    last_ = modal;
    answered_.start();
    Handler handler = std::move(handlers_.front());
    handlers_.pop_front();
    handler(*modal);
  }

  static void Cancel(QWidget& modal) {
    if (auto* dialog = qobject_cast<QDialog*>(&modal)) {
      dialog->reject();
    } else {
      modal.close();
    }
  }

  std::deque<Handler> handlers_;
  int outer_loop_level_;
  QTimer poll_;
  QPointer<QWidget> last_;
  QElapsedTimer answered_;
};

// Answers a file dialog as its user does: types `name` (in the dialog's folder, or a whole
// path) in the file name box and presses the accept button, whose checks then run. The
// name is typed, not given to selectFile(): once the dialog is the active window the name
// box has the focus, and selectFile() then leaves the box as it is, so what the dialog
// returned would depend on how soon the window got activated. Returns whether the dialog
// took the name and closed; if it did not, it is cancelled so the command goes on.
inline bool TypeFileName(QFileDialog& dialog, const QString& name) {
  auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (box == nullptr) {
    dialog.reject();
    return false;
  }
  box->setText(name);
  static_cast<QDialog&>(dialog).accept();  // QFileDialog's own accept(), protected there
  if (dialog.isVisible()) {
    dialog.reject();
    return false;
  }
  return dialog.result() == QDialog::Accepted;
}

}  // namespace ln40::gui::testing
