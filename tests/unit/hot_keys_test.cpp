#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "agent/logic/hot_keys.h"
#include "common/settings.h"

namespace vistrel {
namespace {

TEST(HotKeys, TextsAreParsedAndNamedBack) {
  HotKey key;
  ASSERT_TRUE(ParseHotKey(defaults::kNextHotKey, key));
  EXPECT_EQ(key.Modifiers, kModControl | kModAlt | kModWin);
  EXPECT_EQ(key.VirtualKey, static_cast<std::uint32_t>('N'));
  EXPECT_EQ(HotKeyText(key), "Ctrl+Alt+Win+N");
  ASSERT_TRUE(ParseHotKey(defaults::kPreviousHotKey, key));
  EXPECT_EQ(key.VirtualKey, static_cast<std::uint32_t>('P'));

  const std::pair<const char*, HotKey> good[] = {
      {" control + SHIFT+f12 ", {kModControl | kModShift, 0x7B}},
      {"Alt+Right", {kModAlt, 0x27}},
      {"win+7", {kModWin, '7'}},
      {"Ctrl+PageDown", {kModControl, 0x22}},
      {"Shift+Alt+F1", {kModShift | kModAlt, 0x70}},
  };
  for (const auto& [text, expected] : good) {
    ASSERT_TRUE(ParseHotKey(text, key)) << text;
    EXPECT_EQ(key.Modifiers, expected.Modifiers) << text;
    EXPECT_EQ(key.VirtualKey, expected.VirtualKey) << text;
    HotKey again;
    ASSERT_TRUE(ParseHotKey(HotKeyText(key), again)) << text;
    EXPECT_EQ(again.Modifiers, key.Modifiers);
    EXPECT_EQ(again.VirtualKey, key.VirtualKey);
  }
  for (const char* off : {"", "  ", "None", "none"}) {
    ASSERT_TRUE(ParseHotKey(off, key)) << off;
    EXPECT_EQ(key.VirtualKey, 0u) << off;
  }
  for (const char* bad : {"N", "F5", "Ctrl+", "+N", "Ctrl++N", "Ctrl+Ctrl+N", "Ctrl+F0", "Ctrl+F25",
                          "Ctrl+F05", "Hyper+N", "Ctrl+NN", "Ctrl+N+Alt", "Ctrl+\xe9"}) {
    key.VirtualKey = 99;
    EXPECT_FALSE(ParseHotKey(bad, key)) << bad;
    EXPECT_EQ(key.VirtualKey, 0u) << "nothing half parsed: " << bad;
  }
}

}  // namespace
}  // namespace vistrel
