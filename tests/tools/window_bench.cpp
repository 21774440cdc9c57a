// Times the configuration window's edits of a 100,000-entry list in-process, under Wine: the
// real window and list view, the questions answered Yes. Not shipped, not a test; run by hand:
//   wine-run build/win32/bin/vistrel_window_bench.exe Z:\FOLDER
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/win32/main_window.h"
#include "platform/files.h"
#include "toolkit/application_window.h"

namespace {

class YesBoxes : public vistrel::MessageBoxes {
 public:
  int Show(void*, const std::string&, const std::string&, unsigned) override { return IDYES; }
};

class FolderChooser : public vistrel::app::FileChooser {
 public:
  bool ChooseFiles(std::vector<std::string>&) override { return false; }
  bool ChooseFolder(std::string& folder) override {
    folder = chosen;
    return true;
  }
  std::string chosen;
};

void Time(const char* name, const std::function<void()>& edit) {
  const DWORD start = GetTickCount();
  edit();
  std::printf("window  %-46s %6lu ms\n", name, static_cast<unsigned long>(GetTickCount() - start));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string dir = std::string(argv[1]) + "\\";
  std::string text;
  for (int n = 0; n < 100000; ++n)
    text += "1" + dir + "gone\\" + std::to_string(n * 7919 % 100000) + ".jpg\r\n";
  vistrel::ReplaceFileContents(dir + "list.txt", text);
  const std::string folder = dir + "holiday";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (int n = 0; n < 1000; ++n)
    vistrel::ReplaceFileContents(folder + "\\p" + std::to_string(n) + ".jpg", "x");
  YesBoxes boxes;
  FolderChooser chooser;
  chooser.chosen = folder;
  vistrel::app::MainWindowOptions options;
  options.directory = dir;
  options.services.message_boxes = &boxes;
  options.services.file_chooser = &chooser;
  vistrel::ApplicationWindow application("Vistrel");
  std::unique_ptr<vistrel::app::MainWindow> window;
  Time("open a 100,000-line list", [&] {
    window = std::make_unique<vistrel::app::MainWindow>(application, std::move(options));
  });
  vistrel::ListView& view = *window->WallpaperView();
  Time("(select every other row in the view)", [&] {
    for (int i = 1; i < view.Count(); i += 2) view.SetSelected(i, true);
  });
  Time("delete the selected half", [&] { window->DeleteSelected(); });
  Time("add a folder of 1,000 pictures", [&] { window->AddDirectory(); });
  Time("sort by Image", [&] { window->SortByColumn(0); });
  Time("add the folder again, sorted list", [&] { window->AddDirectory(); });
  Time("style of every row", [&] {
    window->SelectAll();
    window->SetSelectedStyle("Tile");
  });
  Time("remove dead entries", [&] { window->RemoveDeadEntries(); });
  std::printf("rows left: %d\n", view.Count());
  return 0;
}
