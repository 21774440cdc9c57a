// Text values under HKEY_CURRENT_USER: the desktop's style values and the programs started at
// logon.
#pragma once

#include <cstdint>
#include <string>

namespace vistrel {

// What a write does where the key is missing.
enum class MissingKey : std::uint8_t { Refuse, Create };

class UserRegistry {
 public:
  virtual ~UserRegistry() = default;

  // A REG_SZ or REG_EXPAND_SZ value as stored (not expanded); false when the key or the value is
  // missing or holds no text.
  virtual bool ReadText(const std::string& key, const std::string& name, std::string& value) = 0;

  // Writes a REG_SZ value (its stored size counts the terminating zero). Refuse opens the key
  // for reading, setting values and creating subkeys, and never creates it. Empty on success,
  // else the system's reason.
  virtual std::string WriteText(const std::string& key, const std::string& name,
                                const std::string& value, MissingKey missing) = 0;

  // Empty on success, also when the key or the value was not there; else the system's reason.
  virtual std::string DeleteValue(const std::string& key, const std::string& name) = 0;
};

// The current user's registry; Windows only.
UserRegistry& SystemRegistry();

}  // namespace vistrel
