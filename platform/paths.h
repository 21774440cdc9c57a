// Joining and resolving Windows paths (backslashes, drives, network paths).
#pragma once

#include <string>

namespace vistrel {

// The folder, one backslash, the name (a drive's root already ends with its backslash).
std::string JoinPath(const std::string& folder, const std::string& name);

// A relative path taken from the program's folder rather than the working folder; an absolute
// one (a drive, a root or a network path) unchanged.
std::string ResolveBesideProgram(const std::string& path, const std::string& program_directory);

}  // namespace vistrel
