// A timer that ticks through its owner window's messages.
#pragma once

#include <functional>

#include "toolkit/window.h"

namespace vistrel {

class Timer {
 public:
  // Created disabled. The owner must outlive the timer (members of the owner's object are).
  explicit Timer(Window& owner, int interval_ms = 1000, std::function<void()> on_tick = {});
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer();

  // Milliseconds; 0 or less becomes 1000. A running timer restarts with the new period.
  void SetInterval(int interval_ms);
  int Interval() const { return interval_; }

  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }

  // May free the timer itself.
  std::function<void()> OnTick;

 private:
  void Start();
  void Stop();

  Window& owner_;  // not owning
  UINT_PTR id_;
  HookId hook_;
  int interval_ = 1000;
  bool enabled_ = false;
};

}  // namespace vistrel
