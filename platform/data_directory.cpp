#include "platform/data_directory.h"

namespace vistrel {

std::string ChooseDataDirectory(const std::string& program_directory,
                                const std::string& user_directory,
                                const std::vector<std::string>& carried_names,
                                DataDirectoryHost& host) {
  if (user_directory.empty() || host.CanCreateFileIn(program_directory)) return program_directory;
  if (!host.MakeDirectory(user_directory)) return user_directory;
  for (const std::string& name : carried_names) {
    const std::string from = program_directory + name;
    const std::string to = user_directory + name;
    if (!host.FileExists(to) && host.FileExists(from)) host.CopyNewFile(from, to);
  }
  return user_directory;
}

}  // namespace vistrel
