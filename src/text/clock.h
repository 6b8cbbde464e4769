#pragma once
// The computer clock behind an interface, so a test or the replay of a race day can fix "now".
#include "text/date_time.h"

namespace ln40 {

class Clock {
 public:
  virtual ~Clock() = default;
  // The local date and time of day.
  virtual TDateTime Now() const = 0;
};

// The machine's local time.
class SystemClock : public Clock {
 public:
  TDateTime Now() const override;
};

// A clock that shows a fixed date with the machine's time of day, for replaying a race day.
class FixedDateClock : public Clock {
 public:
  explicit FixedDateClock(TDateTime date) : date_(DateOf(date)) {}
  TDateTime Now() const override;

 private:
  TDateTime date_;
};

// A clock standing still at one moment, for tests.
class FixedClock : public Clock {
 public:
  explicit FixedClock(TDateTime now) : now_(now) {}
  TDateTime Now() const override { return now_; }
  void Set(TDateTime now) { now_ = now; }

 private:
  TDateTime now_;
};

}  // namespace ln40
