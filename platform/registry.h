// Values under HKEY_CURRENT_USER: the desktop's style values and wallpaper import quality, and
// the programs started at logon.
#pragma once

#include <cstdint>
#include <string>

namespace vistrel {

// What a write does where the key is missing.
enum class MissingKey : std::uint8_t { Refuse, Create };

// What a read of a DWORD value found.
enum class DwordValue : std::uint8_t { kMissing, kOtherType, kFound };

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

  // kMissing when the key or the value is not there; kOtherType for a value that is not a
  // 4-byte REG_DWORD (or cannot be read); value is set only for kFound.
  virtual DwordValue ReadDword(const std::string& key, const std::string& name,
                               std::uint32_t& value) = 0;

  // Writes a REG_DWORD value; the key is opened as for WriteText. Empty on success, else the
  // system's reason.
  virtual std::string WriteDword(const std::string& key, const std::string& name,
                                 std::uint32_t value, MissingKey missing) = 0;

  // Empty on success, also when the key or the value was not there; else the system's reason.
  virtual std::string DeleteValue(const std::string& key, const std::string& name) = 0;
};

// The current user's registry; Windows only.
UserRegistry& SystemRegistry();

}  // namespace vistrel
