#include "agent/logic/hot_keys.h"

#include <vector>

namespace vistrel {

namespace {

struct NamedKey {
  const char* name;
  std::uint32_t virtual_key;
};

// Virtual-key codes of the named keys.
constexpr NamedKey kNamedKeys[] = {
    {"Left", 0x25},   {"Right", 0x27},  {"Up", 0x26},     {"Down", 0x28},
    {"Home", 0x24},   {"End", 0x23},    {"PageUp", 0x21}, {"PageDown", 0x22},
    {"Insert", 0x2D}, {"Delete", 0x2E}, {"Space", 0x20},  {"Pause", 0x13},
};

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

bool KeyFromName(const std::string& part, std::uint32_t& virtual_key) {
  const std::string lower = Lower(part);
  if (lower.size() == 1) {
    const char c = lower[0];
    if (c >= 'a' && c <= 'z') {
      virtual_key = static_cast<std::uint32_t>(c - 'a' + 'A');
      return true;
    }
    if (c >= '0' && c <= '9') {
      virtual_key = static_cast<std::uint32_t>(c);
      return true;
    }
    return false;
  }
  if (lower[0] == 'f' && lower.size() <= 3) {
    int number = 0;
    for (std::size_t i = 1; i < lower.size(); ++i) {
      if (lower[i] < '0' || lower[i] > '9') return false;
      number = number * 10 + (lower[i] - '0');
    }
    if (lower[1] == '0' || number < 1 || number > 24) return false;
    virtual_key = 0x70 + static_cast<std::uint32_t>(number - 1);  // VK_F1 on
    return true;
  }
  for (const NamedKey& named : kNamedKeys) {
    if (lower == Lower(named.name)) {
      virtual_key = named.virtual_key;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ParseHotKey(const std::string& text, HotKey& key) {
  key = HotKey();
  const std::string whole = Trim(text);
  if (whole.empty() || Lower(whole) == "none") return true;
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t plus = whole.find('+', start);
    parts.push_back(
        Trim(whole.substr(start, plus == std::string::npos ? std::string::npos : plus - start)));
    if (plus == std::string::npos) break;
    start = plus + 1;
  }
  HotKey parsed;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string lower = Lower(parts[i]);
    if (lower.empty()) return false;
    if (i + 1 < parts.size()) {
      std::uint32_t bit = 0;
      if (lower == "ctrl" || lower == "control")
        bit = kModControl;
      else if (lower == "alt")
        bit = kModAlt;
      else if (lower == "shift")
        bit = kModShift;
      else if (lower == "win")
        bit = kModWin;
      else
        return false;
      if (parsed.modifiers & bit) return false;
      parsed.modifiers |= bit;
    } else if (!KeyFromName(parts[i], parsed.virtual_key)) {
      return false;
    }
  }
  if (parsed.modifiers == 0) return false;
  key = parsed;
  return true;
}

std::string HotKeyText(const HotKey& key) {
  if (key.virtual_key == 0) return "None";
  std::string text;
  if (key.modifiers & kModControl) text += "Ctrl+";
  if (key.modifiers & kModAlt) text += "Alt+";
  if (key.modifiers & kModShift) text += "Shift+";
  if (key.modifiers & kModWin) text += "Win+";
  const std::uint32_t vk = key.virtual_key;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return text + static_cast<char>(vk);
  if (vk >= 0x70 && vk <= 0x87) return text + "F" + std::to_string(vk - 0x70 + 1);
  for (const NamedKey& named : kNamedKeys)
    if (named.virtual_key == vk) return text + named.name;
  return text + "?";
}

}  // namespace vistrel
