// The list edits that gather paths from outside the list: a folder's images by mask, and files
// dropped from the shell.
#pragma once

#include <string>
#include <vector>

#include "app/logic/wallpaper_list.h"

namespace vistrel {

// The masks a folder is listed with, in the order its files are added: one per kind the applier
// reads, in its table's order (.bmp, .jpg, .jpeg, .gif, .png, .psd, .webp).
std::vector<std::string> FolderImageMasks(const std::string& folder);

// Each name, in order, becomes a row folder + "\" + name with Style "Center"; a name already
// added (a listing by mask may match one file under two masks) is added once.
void AddFolderFiles(WallpaperList& list, const std::string& folder,
                    const std::vector<std::string>& names);

struct DropResult {
  bool added = false;
  std::vector<std::string> refused;  // in the order dropped
};

// Dropped files in the order given: an accepted one becomes a row with an empty Style, a refused
// one is returned. The window says so of each refused file, then saves the list once when any
// was added, so a drop of many files rewrites the list once.
DropResult AddDroppedFiles(WallpaperList& list, const std::vector<std::string>& paths);

}  // namespace vistrel
