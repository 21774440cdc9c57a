#include "tests/e2e/e2e_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// jpeglib.h needs FILE and size_t declared first.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "platform/win32/wide.h"
#include "tests/support/test_support.h"

namespace vistrel::e2e {

namespace {
std::string Backslashes(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}
}  // namespace

std::string ProgramPath(const std::string& name) {
  return Backslashes(test::BuildDir() + "/shipped/" + name);
}

std::string FreshProgramDir(const std::string& test_name,
                            std::initializer_list<const char*> programs) {
  std::string dir = Backslashes(test::FreshDir("e2e_" + test_name));
  // A program that is not there would make every "nothing changed" check pass.
  for (const char* program : programs) {
    if (!CopyFileW(Widen(ProgramPath(program)).c_str(), Widen(dir + program).c_str(), FALSE))
      ADD_FAILURE() << "cannot copy " << ProgramPath(program) << " (error " << GetLastError()
                    << ")";
  }
  return dir;
}

Process::Process(const std::string& command_line, const std::string& directory) {
  // UTF-8 in, UTF-16 to the system: names of any language reach the program whole.
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring line = Widen(command_line) + L'\0';
  const std::wstring folder = Widen(directory);
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : folder.c_str(), &startup, &info_))
    info_ = {};
}

Process::~Process() {
  if (!Started()) return;
  Kill();
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

DWORD Process::Wait(DWORD milliseconds) {
  if (!Started()) return STILL_ACTIVE;
  if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void Process::Kill() {
  if (Started() && WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(info_.hProcess, 255);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

DWORD RunToEnd(const std::string& command_line, DWORD timeout_ms) {
  Process process(command_line);
  return process.Wait(timeout_ms);
}

std::string ReadDesktopValue(const std::string& name) {
  wchar_t buffer[1024] = L"";
  DWORD size = sizeof buffer - sizeof *buffer;
  DWORD type = 0;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return "<no key>";
  LONG result = RegQueryValueExW(key, Widen(name).c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return "<missing>";
  std::size_t length = size / sizeof *buffer;
  if (length > 0 && buffer[length - 1] == L'\0') --length;
  return Narrow(buffer, length);
}

void WriteDesktopValue(const std::string& name, const std::string& value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

std::string ReadDesktopDword(const std::string& name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return "<no key>";
  DWORD type = 0, data = 0, size = sizeof data;
  LONG result =
      RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  RegCloseKey(key);
  if (result == ERROR_FILE_NOT_FOUND) return "<missing>";
  if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data)
    return "type " + std::to_string(type);
  return "dword:" + std::to_string(data);
}

void WriteDesktopDword(const std::string& name, DWORD value) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof value);
  RegCloseKey(key);
}

void DeleteDesktopValue(const std::string& name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS)
    return;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

namespace {
struct WindowSearch {
  DWORD process_id;
  const std::function<bool(HWND)>& match;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if ((search->process_id == 0 || pid == search->process_id) && search->match(window))
    search->found.push_back(window);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(DWORD process_id, const std::function<bool(HWND)>& match) {
  WindowSearch search{process_id, match, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string WindowText(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return Narrow(text);
}

std::string ClassName(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::vector<HWND> ConfigurationWindows(DWORD process_id) {
  return TopWindows(process_id, [](HWND window) {
    return IsWindowVisible(window) && WindowText(window).rfind('[', 0) == 0;
  });
}

HWND WaitForConfigurationWindow(const Process& process) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        std::vector<HWND> windows = ConfigurationWindows(process.Id());
        found = windows.empty() ? nullptr : windows[0];
        return found != nullptr;
      },
      30000);
  return found;
}

namespace {
struct ChildSearch {
  const char* class_name;
  const char* text;  // null: any
  HWND found;
};

BOOL CALLBACK FindChild(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  char name[64] = "";
  GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, search->class_name) != 0) return TRUE;
  if (search->text) {
    char text[256] = "";
    GetWindowTextA(child, text, sizeof text);
    // As shown: without the '&' that marks a caption's Alt key.
    std::string shown;
    for (const char* c = text; *c; ++c) {
      if (*c == '&' && c[1]) ++c;
      shown += *c;
    }
    if (shown != search->text) return TRUE;
  }
  search->found = child;
  return FALSE;
}

}  // namespace

HWND Child(HWND window, const char* class_name, const char* text) {
  ChildSearch search{class_name, text, nullptr};
  EnumChildWindows(window, FindChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void WritePictureList(const std::string& dir, const std::vector<std::string>& pictures) {
  std::string list;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    std::string name = dir + static_cast<char>('a' + i) + ".bmp";
    test::WriteBytes(name, pictures[i]);
    list += "1" + name + "\r\n";
  }
  test::WriteBytes(dir + "list.txt", list);
}

namespace {
BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  char class_name[64] = "";
  GetClassNameA(child, class_name, sizeof class_name);
  if (std::string(class_name) == "Static") {
    wchar_t text[4096] = L"";
    GetWindowTextW(child, text, 4096);
    auto* out = reinterpret_cast<std::string*>(param);
    if (text[0]) *out += Narrow(text);
  }
  return TRUE;
}
}  // namespace

std::string TakeMessageBoxText(DWORD process_id, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout_ms) {
    const std::vector<HWND> boxes = TopWindows(process_id, [](HWND window) {
      return ClassName(window) == "#32770" && IsWindowVisible(window);
    });
    if (!boxes.empty()) {
      std::string text;
      EnumChildWindows(boxes[0], CollectText, reinterpret_cast<LPARAM>(&text));
      PostMessageA(boxes[0], WM_COMMAND, IDOK, 0);
      return text;
    }
    Sleep(100);
  }
  return std::string();
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(std::filesystem::path(FilePath(path)), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(FilePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(50);
  }
  return true;
}

namespace {

std::uint32_t LittleEndian32(const std::string& b, std::size_t at) {
  if (b.size() < at + 4) return 0;
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

}  // namespace

ScreenPixels PrimaryScreen() {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return {};
  return {mode.dmPelsWidth, mode.dmPelsHeight};
}

testing::AssertionResult IsBmp24(const std::string& bmp, std::uint32_t width,
                                 std::uint32_t height) {
  const std::size_t row = (width * 3 + 3) / 4 * 4;
  if (bmp.size() == 54 + row * height && LittleEndian32(bmp, 18) == width &&
      LittleEndian32(bmp, 22) == height)
    return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << bmp.size() << " bytes, expected a 24-bit BMP of " << width << " x " << height;
}

std::string SplitJpeg(int width, int height) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr error{};
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const JSAMPLE level = cinfo.next_scanline < cinfo.image_height / 2 ? 30 : 220;
    std::fill(row.begin(), row.end(), level);
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string jpeg(reinterpret_cast<const char*>(out), size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return jpeg;
}

std::string PortraitPhoto() {
  return test::WithApp1(SplitJpeg(64, 32),
                        test::ExifBlock(false, {test::ExifEntry{0x0112, 3, 1, 6}}));
}

testing::AssertionResult TurnedRight(const std::string& bmp, const ScreenPixels& screen) {
  const auto width = static_cast<int>(screen.width), height = static_cast<int>(screen.height);
  const std::size_t row = (screen.width * 3 + 3) / 4 * 4;
  if (bmp.size() < 54 + row * screen.height) return testing::AssertionFailure() << "no picture";
  // Bottom-up rows; every row holds the same, so only the columns count.
  int wrong = 0;
  for (int y = 0; y < height; y += 7)
    for (int x = 0; x < width; x += 5) {
      if (x >= width / 4 && x < width * 3 / 4) continue;
      const auto level = static_cast<unsigned char>(bmp[54 + y * row + x * 3 + 1]);
      wrong += (x < width / 2) != (level > 128);
    }
  if (wrong == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << wrong << " sampled pixels on the wrong side";
}

}  // namespace vistrel::e2e
