// Process-level test helpers: run the real programs under Wine and observe what they change.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vistrel::e2e {

// Polls condition every 50 ms; false when it is still unmet after timeout_ms.
bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms);

// The program as it ships (shipped\NAME in the build folder: stripped), with backslashes.
std::string ProgramPath(const std::string& name);

// Copies the named programs into a fresh folder so that what they write beside themselves
// (settings, list, wallpaper file) is the test's own; returns the folder with a trailing backslash.
std::string FreshProgramDir(const std::string& test_name,
                            std::initializer_list<const char*> programs);

// A started process; killed on destruction if still running.
class Process {
 public:
  Process() = default;
  explicit Process(const std::string& command_line, const std::string& directory = "");
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  bool Started() const { return info_.hProcess != nullptr; }
  DWORD Id() const { return info_.dwProcessId; }
  // The exit code, or STILL_ACTIVE when it did not end within the time.
  DWORD Wait(DWORD milliseconds);
  void Kill();

 private:
  PROCESS_INFORMATION info_ = {};
};

// Runs to the end (killed after the timeout); the exit code or STILL_ACTIVE.
DWORD RunToEnd(const std::string& command_line, DWORD timeout_ms = 60000);

// HKEY_CURRENT_USER\Control Panel\Desktop values.
std::string ReadDesktopValue(const std::string& name);
void WriteDesktopValue(const std::string& name, const std::string& value);
// "dword:N" for a REG_DWORD, "type T" for another type, "<missing>" or "<no key>".
std::string ReadDesktopDword(const std::string& name);
void WriteDesktopDword(const std::string& name, DWORD value);
void DeleteDesktopValue(const std::string& name);

// The top-level windows of the process (0: of any process) that match.
std::vector<HWND> TopWindows(DWORD process_id, const std::function<bool(HWND)>& match);
std::string WindowText(HWND window);
std::string ClassName(HWND window);

// The first child window of the class (any case) and, when given, the text as shown (a caption's
// mnemonic mark left out); null when none.
HWND Child(HWND window, const char* class_name, const char* text = nullptr);

// The visible configuration windows (caption "[list path]") of the process (0: of any).
std::vector<HWND> ConfigurationWindows(DWORD process_id);
// The process's configuration window once it shows its list path in its caption; null when it
// does not within 30 seconds.
HWND WaitForConfigurationWindow(const Process& process);

// Writes each picture as a.bmp, b.bmp, ... in dir, and list.txt naming them in that order.
void WritePictureList(const std::string& dir, const std::vector<std::string>& pictures);

// The text of a message box of the process, once it shows one (empty after the timeout);
// the box is then closed.
std::string TakeMessageBoxText(DWORD process_id, DWORD timeout_ms = 20000);

std::string FileBytes(const std::string& path);  // empty when missing
bool Exists(const std::string& path);

}  // namespace vistrel::e2e
