#include "toolkit/timer.h"

namespace vistrel {

namespace {
// Timer ids are unique in the process, so several timers can share an owner window.
constexpr UINT_PTR kFirstTimerId = 0x7100;
UINT_PTR next_timer_id = kFirstTimerId;
}  // namespace

Timer::Timer(Window& owner, int interval_ms, std::function<void()> on_tick)
    : OnTick(std::move(on_tick)), owner_(owner), id_(next_timer_id++) {
  SetInterval(interval_ms);
  hook_ = owner_.AddMessageHook([this](WindowMessage& message) {
    if (message.message != WM_TIMER || message.wparam != id_) return false;
    if (enabled_ && OnTick) {
      // A copy: the tick may free this timer, and with it OnTick.
      std::function<void()> tick = OnTick;
      tick();
    }
    return true;
  });
}

Timer::~Timer() {
  Stop();
  owner_.RemoveMessageHook(hook_);
}

void Timer::SetInterval(int interval_ms) {
  interval_ = interval_ms > 0 ? interval_ms : 1000;
  if (enabled_) Start();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_)
    Start();
  else
    Stop();
}

void Timer::Start() {
  // SetTimer with an id already running replaces its period.
  if (owner_.HasHandle()) SetTimer(owner_.Handle(), id_, static_cast<UINT>(interval_), nullptr);
}

void Timer::Stop() {
  if (owner_.HasHandle()) KillTimer(owner_.Handle(), id_);
}

}  // namespace vistrel
