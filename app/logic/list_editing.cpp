#include "app/logic/list_editing.h"

#include <algorithm>

#include "common/list_file.h"

namespace vistrel {

std::string JoinFolderAndName(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

std::vector<std::string> FolderImageMasks(const std::string& folder) {
  std::vector<std::string> masks;
  for (const char* mask : {"*.bmp", "*.jpg", "*.jpeg", "*.gif", "*.png", "*.psd"})
    masks.push_back(JoinFolderAndName(folder, mask));
  return masks;
}

void AddFolderFiles(WallpaperList& list, const std::string& folder,
                    const std::vector<std::string>& names) {
  std::vector<std::string> added;
  for (const std::string& name : names) {
    if (std::find(added.begin(), added.end(), name) != added.end()) continue;
    added.push_back(name);
    list.AddRow(JoinFolderAndName(folder, name), kStyleTextCenter);
  }
}

void AddDroppedFiles(WallpaperList& list, const std::vector<std::string>& paths,
                     const std::function<void()>& on_added,
                     const std::function<void(const std::string& path)>& on_refused) {
  bool added = false;
  for (const std::string& path : paths) {
    if (WallpaperList::AcceptsDroppedFile(path)) {
      list.AddRow(path, std::string());
      added = true;
    } else if (on_refused) {
      on_refused(path);
    }
  }
  if (added && on_added) on_added();
}

}  // namespace vistrel
