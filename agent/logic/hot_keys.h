// The agent's global hot keys for Next and Previous, as written in the settings file.
#pragma once

#include <cstdint>
#include <string>

namespace vistrel {

namespace keys {
constexpr const char kNextHotKey[] = "NextHotKey";
constexpr const char kPreviousHotKey[] = "PreviousHotKey";
}  // namespace keys

// Combinations that programs rarely claim: all three modifiers of the left hand and a letter.
namespace defaults {
constexpr const char kNextHotKey[] = "Ctrl+Alt+Win+N";
constexpr const char kPreviousHotKey[] = "Ctrl+Alt+Win+P";
}  // namespace defaults

// The modifier bits as RegisterHotKey takes them.
enum HotKeyModifier : std::uint32_t {
  kModAlt = 0x1,
  kModControl = 0x2,
  kModShift = 0x4,
  kModWin = 0x8,
};

struct HotKey {
  std::uint32_t modifiers = 0;
  std::uint32_t virtual_key = 0;  // 0: no key
};

// "Ctrl+Alt+Win+N": modifiers (Ctrl or Control, Alt, Shift, Win) and one key (a letter, a digit,
// F1 to F24, Left, Right, Up, Down, Home, End, PageUp, PageDown, Insert, Delete, Space,
// Pause), joined by "+", letter case and blanks around the parts not counting. Empty text or
// "None" is no key and true; anything else not understood is false. A key without a modifier
// is refused: it would take the key from every program.
bool ParseHotKey(const std::string& text, HotKey& key);

// The key as the About box names it, in the spelling ParseHotKey reads.
std::string HotKeyText(const HotKey& key);

}  // namespace vistrel
