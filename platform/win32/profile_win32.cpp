#include <windows.h>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/win32/wide.h"

// vistrel.ini stays an ANSI profile file that older copies read: the file is named through the W
// calls (its folder may have any name), its values pass through the ANSI code page, and a value
// that the code page cannot hold is refused rather than written with "?".
namespace vistrel {

int ProfileReadInt(const std::string& file, const std::string& section, const std::string& key,
                   int default_value) {
  return static_cast<int>(GetPrivateProfileIntW(Widen(section).c_str(), Widen(key).c_str(),
                                                default_value, Widen(file).c_str()));
}

std::string ProfileReadString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& default_value) {
  wchar_t buffer[kProfileTextLimit + 1];
  DWORD n = GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(),
                                     Widen(default_value).c_str(), buffer,
                                     sizeof buffer / sizeof *buffer, Widen(file).c_str());
  return Narrow(buffer, n);
}

bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
  std::string ansi;
  if (!Utf8ToAnsi(value, ansi)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    KeepFileError();
    return false;
  }
  if (WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                 Widen(file).c_str()))
    return true;
  KeepFileError();
  return false;
}

}  // namespace vistrel
