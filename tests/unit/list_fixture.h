// The wallpaper list the list tests edit: its pictures exist when named in `existing` (the
// host's), and its list file is the test's own.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/logic/wallpaper_list.h"
#include "common/list_file.h"
#include "tests/support/test_support.h"
#include "tests/unit/fake_list_host.h"

namespace vistrel::test {

struct ListFixture {
  using Lines = std::vector<std::string>;

  FakeListHost host;
  std::set<std::string>& existing = host.existing;
  WallpaperList list{host};
  const std::string path;  // list.txt in a fresh folder named for the test; not made yet

  explicit ListFixture(const std::string& name) : path(FreshDir(name) + "list.txt") {}

  // Reads the list file; a missing one is created empty, which leaves just "No Wallpaper".
  bool Load() { return list.Load(path); }

  // No Wallpaper, then each (image, style): written to the list file, which exists, and read.
  void Fill(const std::vector<std::pair<std::string, std::string>>& rows) {
    existing.insert(path);
    Lines lines;
    for (const auto& [image, style] : rows)
      lines.push_back(std::string(1, style == "Tile"      ? '2'
                                     : style == "Stretch" ? '3'
                                                          : '1') +
                      image);
    WriteBytes(path, FormatListLines(lines));
    list.Load(path);
  }

  Lines Images() const {
    Lines out;
    for (const ListRow& row : list.Rows()) out.push_back(row.image);
    return out;
  }
};

}  // namespace vistrel::test
