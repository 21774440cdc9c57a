#include "platform/win32/wide.h"

#include <vector>

namespace vistrel {

std::wstring Widen(const std::string& text, UINT code_page) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, &wide[0], n);
  return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length, UINT code_page) {
  if (!text || length == 0) return std::string();
  const int size = static_cast<int>(length);
  const int n = WideCharToMultiByte(code_page, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, text, size, &narrow[0], n, nullptr, nullptr);
  return narrow;
}

std::string Narrow(const wchar_t* text) {
  return text ? Narrow(text, wcslen(text)) : std::string();
}

std::string Narrow(const std::wstring& text) {
  return Narrow(text.data(), text.size());
}

namespace {

// CreateDirectory refuses names that leave no room for an 8.3 file name in them.
constexpr std::size_t kLongPathFrom = MAX_PATH - 12;

bool IsPrefixed(const std::wstring& path) {
  return path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0;
}

}  // namespace

std::wstring FilePath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.size() < kLongPathFrom || IsPrefixed(wide)) return wide;
  DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return wide;
  full.resize(n);
  if (IsPrefixed(full)) return full;
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string ModuleFileName(HMODULE module) {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return std::string();
    // A name that fills the buffer may have been cut (Windows XP does not say so).
    if (n < name.size() - 1) return Narrow(name.data(), n);
    if (name.size() >= 32768) return Narrow(name.data(), n);
    name.resize(name.size() * 2);
  }
}

}  // namespace vistrel
