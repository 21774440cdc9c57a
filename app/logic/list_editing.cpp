#include "app/logic/list_editing.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "app/logic/image_files.h"
#include "common/list_file.h"
#include "platform/paths.h"

namespace vistrel {

std::vector<std::string> FolderImageMasks(const std::string& folder) {
  std::vector<std::string> masks;
  for (const std::string& extension : ImageExtensions())
    masks.push_back(JoinPath(folder, "*" + extension));
  return masks;
}

void AddFolderFiles(WallpaperList& list, const std::string& folder,
                    const std::vector<std::string>& names) {
  // A name two masks both listed is added once; a set, as a folder may hold thousands.
  std::unordered_set<std::string> seen;
  std::vector<std::pair<std::string, std::string>> rows;
  for (const std::string& name : names) {
    if (!seen.insert(name).second) continue;
    rows.emplace_back(JoinPath(folder, name), kStyleTextCenter);
  }
  list.AddRows(rows);
}

DropResult AddDroppedFiles(WallpaperList& list, const std::vector<std::string>& paths) {
  DropResult result;
  std::vector<std::pair<std::string, std::string>> rows;
  for (const std::string& path : paths) {
    if (WallpaperList::AcceptsDroppedFile(path))
      rows.emplace_back(path, std::string());
    else
      result.refused.push_back(path);
  }
  result.added = !rows.empty();
  list.AddRows(rows);
  return result;
}

}  // namespace vistrel
