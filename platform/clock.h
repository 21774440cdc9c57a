// The time of day, for the seeds of random choices.
#pragma once

namespace vistrel {

struct ClockTime {
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  unsigned milliseconds = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // GetSystemTime's time of day (UTC).
  virtual ClockTime UtcTimeOfDay() = 0;
};

// The system's clock; Windows only.
Clock& SystemClock();

}  // namespace vistrel
