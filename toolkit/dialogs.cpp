#include "toolkit/dialogs.h"

#include <cderr.h>
#include <objbase.h>

#include "platform/paths.h"
#include "platform/win32/unique_handle.h"

namespace vistrel {

// ---- OpenFileDialog

OpenFileDialog::OpenFileDialog(const Window& owner) : owner_(owner) {}

bool OpenFileDialog::Execute() {
  files_.clear();
  buffer_too_small_ = false;
  std::vector<char> buffer(buffer_size > 2 ? buffer_size : 2, '\0');
  const std::string filter_text = FilterText(filter);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_.Handle();
  dialog.lpstrFilter = filter_text.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.Flags = flags;
  if (!GetOpenFileNameA(&dialog)) {
    buffer_too_small_ = CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
    return false;
  }
  files_ = SplitOpenFileResult(buffer.data(), buffer.size());
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
  // c_str adds the second zero byte.
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

bool FolderDialog::Execute() {
  folder_.clear();
  ComScope com;
  char display_name[MAX_PATH] = "";
  BROWSEINFOA browse = {};
  browse.hwndOwner = owner_.Handle();
  browse.pszDisplayName = display_name;
  browse.lpszTitle = title.empty() ? nullptr : title.c_str();
  browse.ulFlags = flags;
  UniqueItemList chosen(SHBrowseForFolderA(&browse));
  if (!chosen) return false;
  char path[MAX_PATH] = "";
  if (!SHGetPathFromIDListA(chosen.Get(), path) || path[0] == '\0') return false;
  folder_ = path;
  return true;
}

}  // namespace vistrel
