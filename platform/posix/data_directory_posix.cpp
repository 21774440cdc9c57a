#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/data_directory.h"
#include "platform/files.h"

namespace vistrel {

namespace {

class PosixDataDirectoryHost : public DataDirectoryHost {
 public:
  bool CanCreateFileIn(const std::string& directory) override {
    const std::string probe = directory + ".vistrel-probe-" + std::to_string(::getpid());
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
  }
  bool MakeDirectory(const std::string& directory) override {
    for (std::size_t at = 1; at <= directory.size(); ++at) {
      if (at < directory.size() && directory[at] != '/') continue;
      ::mkdir(directory.substr(0, at).c_str(), 0755);
    }
    struct stat st;
    return ::stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  bool FileExists(const std::string& path) override { return vistrel::FileExists(path); }
  bool CopyNewFile(const std::string& from, const std::string& to) override {
    std::string contents;
    if (FileExists(to) || !ReadWholeFile(from, contents)) return false;
    return ReplaceFileContents(to, contents);
  }
};

}  // namespace

std::string UserDataDirectory() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return std::string();
  return std::string(home) + "/.config/vistrel/";
}

std::string SystemDataDirectory(const std::vector<std::string>& carried_names) {
  PosixDataDirectoryHost host;
  return ChooseDataDirectory(ProgramDirectory(), UserDataDirectory(), carried_names, host);
}

}  // namespace vistrel
