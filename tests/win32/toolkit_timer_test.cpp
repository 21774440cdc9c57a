// The toolkit's timers, ticking with real window messages.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/win32/window_test_support.h"
#include "toolkit/timer.h"
#include "toolkit/top_level_window.h"

namespace vistrel {
namespace {

TEST(ToolkitTimer, IntervalEnabledFlagAndTicks) {
  TopLevelWindow window(test::WindowArgs());
  Timer timer(window, 0);
  EXPECT_EQ(timer.Interval(), 1000) << "0 becomes 1000";
  timer.SetInterval(-5);
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_FALSE(timer.Enabled()) << "created disabled";

  int ticks = 0;
  timer.OnTick = [&] { ++ticks; };
  timer.SetInterval(30);
  test::PumpMessages(200);
  EXPECT_EQ(ticks, 0);
  timer.SetEnabled(true);
  EXPECT_TRUE(test::PumpUntil([&] { return ticks >= 3; }, 5000));
  timer.SetEnabled(false);
  test::PumpMessages(50);
  int stopped_at = ticks;
  test::PumpMessages(200);
  EXPECT_EQ(ticks, stopped_at);
}

TEST(ToolkitTimer, TimersShareAnOwnerAndMayFreeThemselvesInTheirTick) {
  TopLevelWindow window(test::WindowArgs());
  int fast_ticks = 0, slow_ticks = 0;
  auto fast = std::make_unique<Timer>(window, 20);
  Timer slow(window, 60, [&] { ++slow_ticks; });
  fast->OnTick = [&] {
    ++fast_ticks;
    fast.reset();  // the timer goes while its own tick runs
  };
  fast->SetEnabled(true);
  slow.SetEnabled(true);
  EXPECT_TRUE(test::PumpUntil([&] { return slow_ticks >= 3; }, 5000));
  EXPECT_EQ(fast_ticks, 1);
  EXPECT_EQ(fast, nullptr);
}

}  // namespace
}  // namespace vistrel
