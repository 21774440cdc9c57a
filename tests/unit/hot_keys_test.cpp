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
  EXPECT_EQ(key.modifiers, kModControl | kModAlt | kModWin);
  EXPECT_EQ(key.virtual_key, static_cast<std::uint32_t>('N'));
  EXPECT_EQ(HotKeyText(key), "Ctrl+Alt+Win+N");
  ASSERT_TRUE(ParseHotKey(defaults::kPreviousHotKey, key));
  EXPECT_EQ(key.virtual_key, static_cast<std::uint32_t>('P'));

  const std::pair<const char*, HotKey> good[] = {
      {" control + SHIFT+f12 ", {kModControl | kModShift, 0x7B}},
      {"Alt+Right", {kModAlt, 0x27}},
      {"win+7", {kModWin, '7'}},
      {"Ctrl+PageDown", {kModControl, 0x22}},
      {"Shift+Alt+F1", {kModShift | kModAlt, 0x70}},
  };
  for (const auto& [text, expected] : good) {
    ASSERT_TRUE(ParseHotKey(text, key)) << text;
    EXPECT_EQ(key.modifiers, expected.modifiers) << text;
    EXPECT_EQ(key.virtual_key, expected.virtual_key) << text;
    HotKey again;
    ASSERT_TRUE(ParseHotKey(HotKeyText(key), again)) << text;
    EXPECT_EQ(again.modifiers, key.modifiers);
    EXPECT_EQ(again.virtual_key, key.virtual_key);
  }
  for (const char* off : {"", "  ", "None", "none"}) {
    ASSERT_TRUE(ParseHotKey(off, key)) << off;
    EXPECT_EQ(key.virtual_key, 0u) << off;
  }
  for (const char* bad : {"N", "F5", "Ctrl+", "+N", "Ctrl++N", "Ctrl+Ctrl+N", "Ctrl+F0", "Ctrl+F25",
                          "Ctrl+F05", "Hyper+N", "Ctrl+NN", "Ctrl+N+Alt", "Ctrl+\xe9"}) {
    key.virtual_key = 99;
    EXPECT_FALSE(ParseHotKey(bad, key)) << bad;
    EXPECT_EQ(key.virtual_key, 0u) << "nothing half parsed: " << bad;
  }
}

}  // namespace
}  // namespace vistrel
