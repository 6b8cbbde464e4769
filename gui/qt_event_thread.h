#pragma once
// The event thread of the desktop program is the GUI thread. The serial port's background
// thread posts each event set here and waits for it by itself, so Post only queues.
#include <QObject>
#include <functional>

#include "link/event_thread.h"

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

}  // namespace ln40::gui
