#pragma once
// The event thread of the desktop program is the GUI thread. The serial port's background
// thread posts each event set here and waits for it by itself, so Post only queues. The
// session's timers are Qt timers on the same thread.
#include <QObject>
#include <exception>
#include <functional>

#include "link/event_thread.h"
#include "link/event_timers.h"

namespace ln40::gui {

class QtEventThread : public EventThread {
 public:
  // Tasks run on `context`'s thread; those still queued when it is destroyed are dropped.
  explicit QtEventThread(QObject* context) : context_(context) {}

  // Safe from any thread.
  void Post(std::function<void()> task) override;

 private:
  QObject* context_;
};

// Timers on `context`'s thread. Qt's event loop carries no exceptions: an error a tick
// throws goes to `report` (the window's standard error report).
class QtEventTimers : public EventTimers {
 public:
  QtEventTimers(QObject* context, std::function<void(const std::exception&)> report)
      : context_(context), report_(std::move(report)) {}
  std::unique_ptr<EventTimer> CreateTimer(std::chrono::milliseconds interval, std::function<void()> tick) override;

 private:
  QObject* context_;
  std::function<void(const std::exception&)> report_;
};

}  // namespace ln40::gui
