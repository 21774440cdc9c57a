// Process-level test helpers: run the real programs under Wine and observe what they change.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
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

// The primary screen's size in pixels, as the applier reads it: Wine's display mode.
struct ScreenPixels {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};
ScreenPixels PrimaryScreen();

// A 24-bit BMP of that size, as the applier writes a picture rendered for the screen.
testing::AssertionResult IsBmp24(const std::string& bmp, std::uint32_t width, std::uint32_t height);

// A 24-bit grey JPEG, width x height, its top half dark and its bottom half light: whole blocks
// of one level each, which compression keeps far apart.
std::string SplitJpeg(int width, int height);
// SplitJpeg(64, 32) with the EXIF orientation 6: seen upright, a portrait whose dark half is on
// the right.
std::string PortraitPhoto();
// Whether a wallpaper BMP of the screen's size shows that photo upright: the outer quarters,
// clear of the soft edge between the halves, light on the left and dark on the right.
testing::AssertionResult TurnedRight(const std::string& bmp, const ScreenPixels& screen);

std::string FileBytes(const std::string& path);  // empty when missing
bool Exists(const std::string& path);

}  // namespace vistrel::e2e
