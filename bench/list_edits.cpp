// The configuration window's list model on 100,000 rows: the edits a user makes, timed natively
// (CPU). The file checks of remove-dead are faked: every other file is gone.
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/logic/list_editing.h"
#include "app/logic/wallpaper_list.h"
#include "bench/cpu_time.h"
#include "platform/files.h"

namespace {

class BenchHost : public vistrel::WallpaperListHost {
 public:
  bool FileExists(const std::string& path) override {
    return path.size() > 6 && (path[path.size() - 5] - '0') % 2 == 0;
  }
};

void Time(const char* name, const std::function<void()>& edit) {
  const double before = CpuMs();
  edit();
  std::printf("list edit  %-52s %8.1f ms CPU\n", name, CpuMs() - before);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: list-edits DIR\n");
    return 2;
  }
  const std::string path = std::string(argv[1]) + "/list.txt";
  std::string text;
  for (int n = 0; n < 100000; ++n)
    text += "1C:\\Pictures\\" + std::to_string(n * 7919 % 100000) + ".jpg\r\n";
  vistrel::ReplaceFileContents(path, text);
  BenchHost host;
  vistrel::WallpaperList list(host);
  Time("load 100,000 lines", [&] { list.Load(path); });
  Time("sort by Image", [&] { list.SortByColumn(0); });
  Time("delete every other row", [&] {
    for (std::size_t i = 1; i < list.Rows().size(); i += 2) list.Select(i, true);
    list.BeginEdit();
    list.DeleteSelected();
  });
  std::vector<std::string> names;
  for (int n = 0; n < 1000; ++n) names.push_back("new" + std::to_string(n) + ".jpg");
  Time("add a folder of 1,000 pictures, sorted list", [&] {
    list.BeginEdit();
    vistrel::AddFolderFiles(list, "D:\\Holiday", names);
  });
  Time("style of every row", [&] {
    list.SelectAll();
    list.BeginEdit();
    list.SetSelectedStyle("Tile");
  });
  Time("remove dead entries (half of them)", [&] {
    list.BeginEdit();
    list.RemoveDeadEntries();
  });
  Time("undo", [&] { list.Undo(); });
  Time("save", [&] { list.Save(path); });
  return 0;
}
