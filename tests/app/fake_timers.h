#pragma once
// Timers whose time the test lets pass by hand: Advance(span) runs every tick that falls
// due within the span, in time order, as the event thread would.
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "link/event_timers.h"

namespace ln40::testing {

class FakeTimers : public EventTimers {
 public:
  using ms = std::chrono::milliseconds;

  std::unique_ptr<EventTimer> CreateTimer(ms interval, std::function<void()> tick) override {
    auto state = std::make_shared<State>();
    state->interval = interval;
    state->tick = std::move(tick);
    states_.push_back(state);
    return std::make_unique<Timer>(state, now_);
  }

  // Whether the timer of that interval is on (the session's: 3000 discovery, 500 watch,
  // 60000 autosave, 2000 journal retry).
  bool Enabled(ms interval) const {
    for (const auto& state : states_) {
      if (state.use_count() > 1 && state->interval == interval) return state->enabled;
    }
    return false;
  }

  void Advance(ms span) {
    const ms end = now_ + span;
    while (true) {
      std::shared_ptr<State> next;
      for (const auto& state : states_) {
        if (state.use_count() > 1 && state->enabled && state->due <= end && (!next || state->due < next->due)) {
          next = state;
        }
      }
      if (!next) break;
      now_ = next->due;
      next->due = now_ + next->interval;
      const auto tick = next->tick;
      tick();
    }
    now_ = end;
  }

 private:
  struct State {
    ms interval{0};
    std::function<void()> tick;
    bool enabled = false;
    ms due{0};
  };
  class Timer : public EventTimer {
   public:
    Timer(std::shared_ptr<State> state, const ms& now) : state_(std::move(state)), now_(now) {}
    void SetEnabled(bool enabled) override {
      if (enabled && !state_->enabled) state_->due = now_ + state_->interval;
      state_->enabled = enabled;
    }
    bool Enabled() const override { return state_->enabled; }

   private:
    std::shared_ptr<State> state_;
    const ms& now_;
  };

  ms now_{0};
  std::vector<std::shared_ptr<State>> states_;
};

}  // namespace ln40::testing
