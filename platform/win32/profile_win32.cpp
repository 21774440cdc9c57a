#include <windows.h>

#include "platform/files.h"
#include "platform/profile.h"

namespace vistrel {

int ProfileReadInt(const std::string& file, const std::string& section, const std::string& key,
                   int default_value) {
  return static_cast<int>(
      GetPrivateProfileIntA(section.c_str(), key.c_str(), default_value, file.c_str()));
}

std::string ProfileReadString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& default_value) {
  char buffer[kProfileTextLimit + 1];
  DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(), buffer,
                                     sizeof buffer, file.c_str());
  return std::string(buffer, n);
}

bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
  if (WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()))
    return true;
  KeepFileError();
  return false;
}

}  // namespace vistrel
