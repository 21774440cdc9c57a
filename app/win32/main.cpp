// vistrel.exe: without an argument the configuration window; with one argument (a style letter
// and an image path) it builds the same window hidden, applies that wallpaper and ends.
#include <windows.h>

#include "app/logic/command_line.h"
#include "app/logic/window_texts.h"
#include "app/win32/main_window.h"
#include "platform/files.h"
#include "toolkit/application.h"
#include "toolkit/application_window.h"
#include "toolkit/error_box.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return vistrel::RunProgram([] {
    vistrel::ApplicationWindow application(vistrel::kApplicationCaptionBuilding);
    vistrel::app::MainWindowOptions options;
    options.Argument = vistrel::FirstArgument(GetCommandLineA());
    options.Directory = vistrel::ProgramDirectory();
    vistrel::app::MainWindow window(application, std::move(options));
    return vistrel::RunMessageLoop();
  });
}
