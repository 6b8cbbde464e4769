#pragma once
// Repeating timers on the event thread, behind an interface so that tests drive time
// themselves: the plain event loop, the Qt event loop and a test's fake each make them.
#include <chrono>
#include <functional>
#include <memory>

namespace ln40 {

// One repeating timer. Its tick runs on the event thread, every interval while enabled.
class EventTimer {
 public:
  virtual ~EventTimer() = default;
  // Enabling a disabled timer starts a full interval; enabling an enabled one changes nothing.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

class EventTimers {
 public:
  virtual ~EventTimers() = default;
  // A new timer, disabled. The tick must not destroy its own timer.
  virtual std::unique_ptr<EventTimer> CreateTimer(std::chrono::milliseconds interval, std::function<void()> tick) = 0;
};

}  // namespace ln40
