// Starting another program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vistrel {

// A program started with its end watched; ended (killed) on destruction only through Stop.
class WatchedProgram {
 public:
  virtual ~WatchedProgram() = default;
  // True once it has ended, with its exit code.
  virtual bool Ended(std::uint32_t& exit_code) = 0;
  // Ends it where it still runs.
  virtual void Stop() = 0;
};

class Launcher {
 public:
  virtual ~Launcher() = default;
  // ShellExecuteA without owner, verb or directory, shown normally; empty parameters pass none.
  // The result is not looked at: a start that fails has nothing to report.
  virtual void Launch(const std::string& file, const std::string& parameters) = 0;
  // The same start with the environment variable set to "1" for the program alone, watched;
  // null when it could not be started.
  virtual std::unique_ptr<WatchedProgram> LaunchWatched(const std::string& file,
                                                        const std::string& parameters,
                                                        const std::string& variable) = 0;
};

// The shell's; Windows only.
Launcher& SystemLauncher();

}  // namespace vistrel
