#include "link/event_loop.h"

namespace ln40 {

void TEventLoop::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

int TEventLoop::AddTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int id = next_timer_++;
  timers_[id] = Timer{interval, std::move(tick), false, Clock::now() + interval};
  return id;
}

void TEventLoop::SetTimerEnabled(int id, bool enabled) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = timers_.find(id);
  if (found == timers_.end()) return;
  Timer& timer = found->second;
  if (enabled && !timer.enabled) timer.due = Clock::now() + timer.interval;
  timer.enabled = enabled;
}

bool TEventLoop::TimerEnabled(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = timers_.find(id);
  return found != timers_.end() && found->second.enabled;
}

void TEventLoop::RemoveTimer(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_.erase(id);
}

namespace {

class LoopTimer : public EventTimer {
 public:
  LoopTimer(TEventLoop& loop, int id) : loop_(loop), id_(id) {}
  ~LoopTimer() override { loop_.RemoveTimer(id_); }
  void SetEnabled(bool enabled) override { loop_.SetTimerEnabled(id_, enabled); }
  bool Enabled() const override { return loop_.TimerEnabled(id_); }

 private:
  TEventLoop& loop_;
  int id_;
};

}  // namespace

std::unique_ptr<EventTimer> TEventLoop::CreateTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
  return std::make_unique<LoopTimer>(*this, AddTimer(interval, std::move(tick)));
}

bool TEventLoop::RunOne(Clock::time_point deadline) {
  std::function<void()> work;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      if (quit_) return false;
      if (!tasks_.empty()) {
        work = std::move(tasks_.front());
        tasks_.pop_front();
        break;
      }
      const auto now = Clock::now();
      Clock::time_point next = deadline;
      Timer* due = nullptr;
      for (auto& [id, timer] : timers_) {
        if (!timer.enabled) continue;
        if (timer.due <= now && (!due || timer.due < due->due)) due = &timer;
        if (timer.due < next) next = timer.due;
      }
      if (due) {
        // The next tick counts from now: a late tick is not repeated to catch up.
        due->due = now + due->interval;
        work = due->tick;
        break;
      }
      if (now >= deadline) return false;
      if (next == Clock::time_point::max()) {
        wake_.wait(lock);
      } else {
        wake_.wait_until(lock, next);
      }
    }
  }
  work();
  return true;
}

void TEventLoop::Run(const std::function<bool()>& until) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = false;
  }
  while (!(until && until())) {
    if (!RunOne(Clock::time_point::max())) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (quit_) return;
    }
  }
}

void TEventLoop::RunFor(std::chrono::milliseconds budget) {
  const auto deadline = Clock::now() + budget;
  while (RunOne(deadline)) {
  }
}

void TEventLoop::Quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}

}  // namespace ln40
