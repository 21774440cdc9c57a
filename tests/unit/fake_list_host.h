// The wallpaper list's outside for the list tests: files exist when named in `existing`, the
// first `failures` reads fail as they do while another program holds the list, and the pauses
// between tries are counted instead of waited.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "app/logic/wallpaper_list.h"

namespace vistrel::test {

class FakeListHost : public WallpaperListHost {
 public:
  bool FileExists(const std::string& path) override { return existing.count(path) > 0; }
  bool ReadList(const std::string& path, std::vector<std::string>& lines) override {
    ++reads;
    if (failures > 0) {
      --failures;
      return false;
    }
    return WallpaperListHost::ReadList(path, lines);
  }
  void Pause(unsigned) override { ++pauses; }

  std::set<std::string> existing;
  int failures = 0;
  int reads = 0;
  int pauses = 0;
};

}  // namespace vistrel::test
