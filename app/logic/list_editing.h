// The list edits that gather paths from outside the list: a folder's images by mask, and files
// dropped from the shell.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/logic/wallpaper_list.h"

namespace vistrel {

// The folder, one backslash, the name (a drive's root already ends with its backslash).
std::string JoinFolderAndName(const std::string& folder, const std::string& name);

// The masks a folder is listed with, in the order its files are added: .bmp, .jpg, .jpeg, .gif,
// .png, .psd (every kind the applier reads).
std::vector<std::string> FolderImageMasks(const std::string& folder);

// Each name, in order, becomes a row folder + "\" + name with Style "Center"; a name already
// added (a listing by mask may match one file under two masks) is added once.
void AddFolderFiles(WallpaperList& list, const std::string& folder,
                    const std::vector<std::string>& names);

// Dropped files in the order given: an accepted one becomes a row with an empty Style, a refused
// one goes to on_refused. on_added runs once at the end when any was added (the window saves
// the list there), so a drop of many files rewrites the list once.
void AddDroppedFiles(WallpaperList& list, const std::vector<std::string>& paths,
                     const std::function<void()>& on_added,
                     const std::function<void(const std::string& path)>& on_refused);

}  // namespace vistrel
