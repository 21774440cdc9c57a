#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace vistrel {

namespace {

// KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY: how a key that is never created is opened.
constexpr REGSAM kExistingKeyAccess = 0x2001F;

// The system's words for a registry call's result; also what LastFileErrorText gives next.
std::string Reason(LONG result) {
  if (result == ERROR_SUCCESS) return std::string();
  SetLastError(static_cast<DWORD>(result));
  KeepFileError();
  return LastFileErrorText();
}

class Win32Registry : public UserRegistry {
 public:
  bool ReadText(const std::string& key_name, const std::string& name, std::string& value) override {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key_name).c_str(), 0, KEY_QUERY_VALUE,
                      key.Receive()) != ERROR_SUCCESS)
      return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.Get(), Widen(name).c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return false;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), Widen(name).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
      return false;
    value = Narrow(data.data());  // the data need not end in a zero character
    return true;
  }

  std::string WriteText(const std::string& key_name, const std::string& name,
                        const std::string& value, MissingKey missing) override {
    const std::wstring wide = Widen(value);
    return Write(key_name, name, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                 static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)), missing);
  }

  DwordValue ReadDword(const std::string& key_name, const std::string& name,
                       std::uint32_t& value) override {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key_name).c_str(), 0, KEY_QUERY_VALUE,
                      key.Receive()) != ERROR_SUCCESS)
      return DwordValue::kMissing;
    DWORD type = 0, data = 0, size = sizeof data;
    const LONG result = RegQueryValueExW(key.Get(), Widen(name).c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(&data), &size);
    if (result == ERROR_FILE_NOT_FOUND) return DwordValue::kMissing;
    // A longer value of another type answers ERROR_MORE_DATA: there all the same.
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data)
      return DwordValue::kOtherType;
    value = data;
    return DwordValue::kFound;
  }

  std::string WriteDword(const std::string& key_name, const std::string& name, std::uint32_t value,
                         MissingKey missing) override {
    const DWORD data = value;
    return Write(key_name, name, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data,
                 missing);
  }

  std::string DeleteValue(const std::string& key_name, const std::string& name) override {
    UniqueKey key;
    LONG result =
        RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key_name).c_str(), 0, KEY_SET_VALUE, key.Receive());
    if (result == ERROR_SUCCESS) result = RegDeleteValueW(key.Get(), Widen(name).c_str());
    if (result == ERROR_FILE_NOT_FOUND) return std::string();
    return Reason(result);
  }

 private:
  static std::string Write(const std::string& key_name, const std::string& name, DWORD type,
                           const BYTE* data, DWORD size, MissingKey missing) {
    UniqueKey key;
    LONG result = missing == MissingKey::Create
                      ? RegCreateKeyExW(HKEY_CURRENT_USER, Widen(key_name).c_str(), 0, nullptr, 0,
                                        KEY_SET_VALUE, nullptr, key.Receive(), nullptr)
                      : RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key_name).c_str(), 0,
                                      kExistingKeyAccess, key.Receive());
    if (result == ERROR_SUCCESS)
      result = RegSetValueExW(key.Get(), Widen(name).c_str(), 0, type, data, size);
    return Reason(result);
  }
};

}  // namespace

UserRegistry& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace vistrel
