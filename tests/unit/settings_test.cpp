#include <gtest/gtest.h>

#include "common/settings.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

TEST(Settings, TypedReadsAndWritesUseOneSection) {
  Settings settings(test::FreshDir("settings_typed") + "vistrel.ini");
  EXPECT_EQ(settings.ReadInteger(keys::kInterval, defaults::kAgentInterval), 5);
  EXPECT_EQ(settings.ReadText(keys::kInterval, defaults::kWindowInterval), "5");
  EXPECT_TRUE(settings.ReadBool(keys::kShowBaloonOnChange, defaults::kShowBaloonOnChange));

  ASSERT_TRUE(settings.WriteBool(keys::kPaused, false));
  ASSERT_TRUE(settings.WriteInteger(keys::kLeft, -12));
  ASSERT_TRUE(settings.WriteText(keys::kInterval, "abc"));
  EXPECT_EQ(test::ReadBytes(settings.Path()),
            "[Settings]\r\nPaused=0\r\nLeft=-12\r\nInterval=abc\r\n");
  EXPECT_FALSE(settings.ReadBool(keys::kPaused, true));
  EXPECT_EQ(settings.ReadInteger(keys::kLeft, 0), -12);
  EXPECT_EQ(settings.ReadInteger(keys::kInterval, 5), 0) << "abc reads as 0 through the integer";
  EXPECT_EQ(settings.ReadText(keys::kInterval, "5"), "abc") << "and verbatim as text";
}

}  // namespace
}  // namespace vistrel
