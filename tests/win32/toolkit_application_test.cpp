// The toolkit's application: the main window and the message loop.
#include <gtest/gtest.h>

#include "common/exception.h"
#include "tests/win32/window_test_support.h"
#include "toolkit/application.h"
#include "toolkit/top_level_window.h"

namespace vistrel {
namespace {

TEST(ToolkitApplication, ClosingTheMainWindowEndsTheMessageLoop) {
  TopLevelWindow window(test::WindowArgs());
  SetMainWindow(&window);
  EXPECT_EQ(MainWindow(), &window);
  window.Close();
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_FALSE(window.HasHandle());
  EXPECT_EQ(MainWindow(), nullptr);
}

TEST(ToolkitApplication, DestroyingTheMainWindowObjectPostsNoQuit) {
  {
    TopLevelWindow window(test::WindowArgs());
    SetMainWindow(&window);
  }
  EXPECT_EQ(MainWindow(), nullptr);
  EXPECT_FALSE(test::TakeQuitMessage());
}

TEST(ToolkitApplication, AnExceptionInAMessageLeavesTheLoopAndIsThrownFromIt) {
  TopLevelWindow window(test::WindowArgs());
  window.AddMessageHook([](WindowMessage& m) -> bool {
    if (m.message == test::kProbeMessage) throw Exception("broken handler", kToolkitCheckKind, 7);
    return false;
  });
  window.Post(test::kProbeMessage);
  try {
    RunMessageLoop();
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "broken handler");
    EXPECT_EQ(e.Code(), 7u);
  }
  EXPECT_TRUE(window.HasHandle()) << "the window itself is untouched";
}

}  // namespace
}  // namespace vistrel
