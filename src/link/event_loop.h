#pragma once
// A plain event loop for front ends without a window system: tasks posted from any thread
// and repeating timers, all run on the thread that calls Run().
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "link/event_thread.h"
#include "link/event_timers.h"

namespace ln40 {

class TEventLoop : public EventThread, public EventTimers {
 public:
  using Clock = std::chrono::steady_clock;

  void Post(std::function<void()> task) override;

  // A timer that calls `tick` every `interval` while enabled; returns its id.
  int AddTimer(std::chrono::milliseconds interval, std::function<void()> tick);
  void SetTimerEnabled(int id, bool enabled);
  bool TimerEnabled(int id) const;
  void RemoveTimer(int id);

  // EventTimers: a timer of this loop that is removed with its object.
  std::unique_ptr<EventTimer> CreateTimer(std::chrono::milliseconds interval, std::function<void()> tick) override;

  // Runs tasks and timers until Quit() (from any thread) or until `until` returns true
  // after a task or tick. An exception from a task or tick leaves Run().
  void Run(const std::function<bool()>& until = nullptr);
  // Runs what is due now and waits at most `budget` for more; returns when idle.
  void RunFor(std::chrono::milliseconds budget);
  void Quit();

 private:
  struct Timer {
    std::chrono::milliseconds interval;
    std::function<void()> tick;
    bool enabled = false;
    Clock::time_point due;
  };
  // Runs one task or due timer; waits until `deadline` when there is none. False when idle.
  bool RunOne(Clock::time_point deadline);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::map<int, Timer> timers_;
  int next_timer_ = 1;
  bool quit_ = false;
};

}  // namespace ln40
