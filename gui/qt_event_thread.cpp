#include "qt_event_thread.h"

#include <QMetaObject>
#include <QTimer>
#include <exception>

namespace ln40::gui {

void QtEventThread::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(
      context_,
      [task = std::move(task)] {
        // Qt does not carry exceptions through its event loop; the link reports its own
        // errors before they get here, so anything left is dropped rather than fatal.
        try {
          task();
        } catch (const std::exception&) {
        }
      },
      Qt::QueuedConnection);
}

namespace {

class QtEventTimer : public EventTimer {
 public:
  QtEventTimer(QObject* context, std::chrono::milliseconds interval, std::function<void()> tick,
               std::function<void(const std::exception&)> report) {
    // No parent: the session owns its timers and destroys them itself.
    timer_.setInterval(static_cast<int>(interval.count()));
    QObject::connect(&timer_, &QTimer::timeout, context,
                     [tick = std::move(tick), report = std::move(report)] {
                       try {
                         tick();
                       } catch (const std::exception& error) {
                         if (report) report(error);
                       }
                     });
  }
  void SetEnabled(bool enabled) override {
    if (enabled == timer_.isActive()) return;
    if (enabled) {
      timer_.start();
    } else {
      timer_.stop();
    }
  }
  bool Enabled() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace

std::unique_ptr<EventTimer> QtEventTimers::CreateTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
  return std::make_unique<QtEventTimer>(context_, interval, std::move(tick), report_);
}

}  // namespace ln40::gui
