#include <windows.h>

#include "platform/clock.h"

namespace vistrel {

namespace {

class Win32Clock : public Clock {
 public:
  ClockTime UtcTimeOfDay() override {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return ClockTime{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
  }
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace vistrel
