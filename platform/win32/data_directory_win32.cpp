#include <windows.h>

#include "platform/data_directory.h"
#include "platform/files.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace vistrel {

namespace {

class Win32DataDirectoryHost : public DataDirectoryHost {
 public:
  bool CanCreateFileIn(const std::string& directory) override {
    const std::string probe =
        directory + "vistrel_probe_" + std::to_string(GetCurrentProcessId()) + ".tmp";
    UniqueFile file(CreateFileW(FilePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) return false;
    file.Reset();
    // A folder where a file can be made but not removed again is no place for a list that is
    // replaced at every edit.
    return DeleteFileW(FilePath(probe).c_str()) != 0;
  }
  bool MakeDirectory(const std::string& directory) override {
    for (std::size_t at = 3; at <= directory.size(); ++at) {
      if (at < directory.size() && directory[at] != '\\') continue;
      CreateDirectoryW(FilePath(directory.substr(0, at)).c_str(), nullptr);
    }
    DWORD attributes = GetFileAttributesW(FilePath(directory).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool FileExists(const std::string& path) override { return vistrel::FileExists(path); }
  bool CopyNewFile(const std::string& from, const std::string& to) override {
    if (!CopyFileW(FilePath(from).c_str(), FilePath(to).c_str(), TRUE)) return false;
    // The copy takes the original's attributes, and a read-only copy would refuse every later
    // write of the settings and the list.
    const DWORD attributes = GetFileAttributesW(FilePath(to).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
      return SetFileAttributesW(FilePath(to).c_str(),
                                writable ? writable : FILE_ATTRIBUTE_NORMAL) != 0;
    }
    return true;
  }
};

}  // namespace

std::string UserDataDirectory() {
  wchar_t buffer[32768] = L"";
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", buffer, sizeof buffer / sizeof *buffer);
  if (n == 0 || n >= sizeof buffer / sizeof *buffer) return std::string();
  std::string directory = Narrow(buffer, n);
  if (directory.back() != '\\') directory += '\\';
  return directory + "Vistrel\\";
}

std::string SystemDataDirectory(const std::vector<std::string>& carried_names) {
  Win32DataDirectoryHost host;
  return ChooseDataDirectory(ProgramDirectory(), UserDataDirectory(), carried_names, host);
}

}  // namespace vistrel
