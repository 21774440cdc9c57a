// Starting another program.
#pragma once

#include <string>

namespace vistrel {

class Launcher {
 public:
  virtual ~Launcher() = default;
  // ShellExecuteA without owner, verb or directory, shown normally; empty parameters pass none.
  // The result is not looked at: a start that fails has nothing to report.
  virtual void Launch(const std::string& file, const std::string& parameters) = 0;
};

// The shell's; Windows only.
Launcher& SystemLauncher();

}  // namespace vistrel
