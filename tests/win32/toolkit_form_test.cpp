// The toolkit's form: what it makes is freed with its handle or with it, newest first.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/win32/window_test_support.h"
#include "toolkit/form.h"
#include "toolkit/timer.h"

namespace vistrel {
namespace {

// Records when it is freed.
struct FreeProbe {
  FreeProbe(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
  ~FreeProbe() { log.push_back(name); }
  std::vector<std::string>& log;
  std::string name;
};

TEST(ToolkitForm, WhatItMadeGoesWithTheHandleNewestFirstAfterOnDestroy) {
  std::vector<std::string> freed;
  auto form = std::make_unique<Form>(test::WindowArgs());
  form->OnDestroy = [&] { freed.push_back("OnDestroy"); };
  form->Make<FreeProbe>(freed, "first");
  int ticks = 0;
  Timer& timer = form->Make<Timer>(*form, 10, [&] { ++ticks; });  // hooks the form
  timer.SetEnabled(true);
  form->Make<FreeProbe>(freed, "last");
  EXPECT_EQ(form->ChildCount(), 3);
  EXPECT_TRUE(test::PumpUntil([&] { return ticks > 0; }, 5000));

  form->Destroy();
  EXPECT_FALSE(form->HasHandle());
  EXPECT_EQ(freed, (std::vector<std::string>{"OnDestroy", "last", "first"}));
  EXPECT_EQ(form->ChildCount(), 0);
  form.reset();
  EXPECT_EQ(freed.size(), 3u) << "nothing is freed twice";

  // Destroyed as an object: the same order.
  freed.clear();
  form = std::make_unique<Form>(test::WindowArgs());
  form->OnDestroy = [&] { freed.push_back("OnDestroy"); };
  form->Make<FreeProbe>(freed, "a");
  form->Make<FreeProbe>(freed, "b");
  form.reset();
  EXPECT_EQ(freed, (std::vector<std::string>{"OnDestroy", "b", "a"}));
}

}  // namespace
}  // namespace vistrel
