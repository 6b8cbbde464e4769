#include "text/clock.h"

#include <chrono>
#include <ctime>

namespace ln40 {

TDateTime SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  TDateTime date = 0;
  TDateTime time = 0;
  TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
  // A leap second shows as the last second of its minute.
  TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, static_cast<int>(ms), time);
  return date + time;
}

TDateTime FixedDateClock::Now() const {
  const TDateTime now = SystemClock().Now();
  return date_ + (now - DateOf(now));
}

}  // namespace ln40
