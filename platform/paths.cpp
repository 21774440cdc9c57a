#include "platform/paths.h"

namespace vistrel {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

std::string ResolveBesideProgram(const std::string& path, const std::string& program_directory) {
  if (path.empty()) return path;
  const bool rooted = path[0] == '\\' || path[0] == '/';
  const bool drive = path.size() >= 2 && path[1] == ':';
  if (rooted || drive) return path;
  return program_directory + path;
}

}  // namespace vistrel
