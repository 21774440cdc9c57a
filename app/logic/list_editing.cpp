#include "app/logic/list_editing.h"

#include <algorithm>

#include "common/list_file.h"
#include "platform/paths.h"

namespace vistrel {

std::vector<std::string> FolderImageMasks(const std::string& folder) {
  std::vector<std::string> masks;
  for (const char* mask : {"*.bmp", "*.jpg", "*.jpeg", "*.gif", "*.png", "*.psd"})
    masks.push_back(JoinPath(folder, mask));
  return masks;
}

void AddFolderFiles(WallpaperList& list, const std::string& folder,
                    const std::vector<std::string>& names) {
  std::vector<std::string> added;
  for (const std::string& name : names) {
    if (std::find(added.begin(), added.end(), name) != added.end()) continue;
    added.push_back(name);
    list.AddRow(JoinPath(folder, name), kStyleTextCenter);
  }
}

DropResult AddDroppedFiles(WallpaperList& list, const std::vector<std::string>& paths) {
  DropResult result;
  for (const std::string& path : paths) {
    if (WallpaperList::AcceptsDroppedFile(path)) {
      list.AddRow(path, std::string());
      result.added = true;
    } else {
      result.refused.push_back(path);
    }
  }
  return result;
}

}  // namespace vistrel
