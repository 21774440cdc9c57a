#include "toolkit/dialogs.h"

#include <cderr.h>
#include <objbase.h>

#include "platform/paths.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace vistrel {

// ---- OpenFileDialog

OpenFileDialog::OpenFileDialog(const Window& owner) : owner_(owner) {}

bool OpenFileDialog::Execute() {
  files_.clear();
  buffer_too_small_ = false;
  // buffer_size counts characters: the names arrive in UTF-16.
  std::vector<wchar_t> buffer(buffer_size > 2 ? buffer_size : 2, L'\0');
  const std::wstring filter_text = Widen(FilterText(filter));
  const std::wstring title_text = Widen(title);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_.Handle();
  dialog.lpstrFilter = filter_text.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrTitle = title.empty() ? nullptr : title_text.c_str();
  dialog.Flags = flags;
  if (!GetOpenFileNameW(&dialog)) {
    buffer_too_small_ = CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
    return false;
  }
  // The zeros between the names stay zeros in UTF-8.
  const std::string result = Narrow(buffer.data(), buffer.size());
  files_ = SplitOpenFileResult(result.data(), result.size());
  return !files_.empty();
}

std::vector<std::string> SplitOpenFileResult(const char* buffer, std::size_t size) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at < size && buffer[at] != '\0') {
    std::size_t end = at;
    while (end < size && buffer[end] != '\0') ++end;
    parts.emplace_back(buffer + at, end - at);
    at = end + 1;
  }
  if (parts.size() <= 1) return parts;
  // The first part is the folder, the others are names in it.
  std::vector<std::string> paths;
  for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(JoinPath(parts[0], parts[i]));
  return paths;
}

std::string FilterText(const std::string& filter) {
  std::string text = filter;
  for (char& c : text)
    if (c == '|') c = '\0';
  text.push_back('\0');
  // c_str adds the second zero (also after Widen).
  return text;
}

// ---- FolderDialog

namespace {
// The shell's item list, released with the task allocator.
using UniqueItemList = UniqueHandle<HandleTraits<LPITEMIDLIST, &CoTaskMemFree>>;

// The folder browser needs COM on this thread for as long as it runs.
struct ComScope {
  HRESULT result = CoInitialize(nullptr);
  ~ComScope() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
};
}  // namespace

FolderDialog::FolderDialog(const Window& owner) : owner_(owner) {}

// SHGetPathFromIDListW stops at MAX_PATH characters; Windows Vista on has a form that takes
// the buffer's size, looked up as the headers are Windows XP's.
std::string PathOfItemList(LPCITEMIDLIST items) {
  using PathFromIdListEx = BOOL(WINAPI*)(LPCITEMIDLIST, PWSTR, DWORD, int);
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  auto long_form = shell ? reinterpret_cast<PathFromIdListEx>(reinterpret_cast<void*>(
                               GetProcAddress(shell, "SHGetPathFromIDListEx")))
                         : nullptr;
  if (long_form) {
    std::vector<wchar_t> path(32768, L'\0');
    if (long_form(items, path.data(), static_cast<DWORD>(path.size()), 0))
      return Narrow(path.data());
    return std::string();
  }
  wchar_t path[MAX_PATH] = L"";
  if (!SHGetPathFromIDListW(items, path)) return std::string();
  return Narrow(path);
}

bool FolderDialog::Execute() {
  folder_.clear();
  ComScope com;
  wchar_t display_name[MAX_PATH] = L"";
  const std::wstring title_text = Widen(title);
  BROWSEINFOW browse = {};
  browse.hwndOwner = owner_.Handle();
  browse.pszDisplayName = display_name;
  browse.lpszTitle = title.empty() ? nullptr : title_text.c_str();
  browse.ulFlags = flags;
  UniqueItemList chosen(SHBrowseForFolderW(&browse));
  if (!chosen) return false;
  folder_ = PathOfItemList(chosen.Get());
  return !folder_.empty();
}

}  // namespace vistrel
