// The configuration window in this process: built in a fresh folder and driven with messages
// (menu commands, keys, notifications, dropped files). Message boxes, launching, the dialogs and
// the desktop are replaced by recorders; the agent is a window of this process with its title.
#include "app/win32/main_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/logic/applier.h"
#include "app/logic/window_settings.h"
#include "app/logic/window_texts.h"
#include "common/list_file.h"
#include "imaging/raster_bitmap.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/win32/wide.h"
#include "tests/support/fake_services.h"
#include "tests/support/test_support.h"
#include "tests/win32/window_test_support.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"
#include "toolkit/dpi.h"

namespace vistrel::app {
namespace {

using Lines = std::vector<std::string>;

// ---- Message pumping

// Set when a pump met the quit message, which it drops.
bool quit_seen = false;

void Pump(DWORD milliseconds) {
  test::PumpMessages(milliseconds, &quit_seen);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeout_ms = 5000) {
  return test::PumpUntil(condition, timeout_ms, &quit_seen);
}

std::string Backslashes(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The "key=value" lines of a profile file, in file order.
Lines ProfileLines(const std::string& path) {
  Lines lines;
  std::string text;
  try {
    text = test::ReadBytes(path);
  } catch (...) {
    return lines;
  }
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (line.find('=') != std::string::npos) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

// A shell drop of the given paths, as the shell builds it (freed by the receiver's DragFinish).
HGLOBAL BuildDrop(const Lines& paths) {
  std::size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& path : paths) size += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  char* at = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
  for (const std::string& path : paths) {
    std::memcpy(at, path.c_str(), path.size() + 1);
    at += path.size() + 1;
  }
  *at = '\0';
  GlobalUnlock(memory);
  return memory;
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// The dialogs' answers, set beforehand; nothing set is a cancel.
class ScriptedChooser : public FileChooser {
 public:
  bool ChooseFiles(Lines& files) override {
    ++dialogs;
    files = chosen_files;
    return !chosen_files.empty();
  }
  bool ChooseFolder(std::string& folder) override {
    ++dialogs;
    folder = chosen_folder;
    return !chosen_folder.empty();
  }
  int dialogs = 0;
  Lines chosen_files;
  std::string chosen_folder;
};

const std::string kRunValuePath = test::FakeRegistry::Path(kRunKey, kRunValueName);

// A window with the agent's title that records what reaches it.
class FakeAgent {
 public:
  explicit FakeAgent(std::function<void()> on_reload = {}) : window_(Args()) {
    window_.AddMessageHook([this, on_reload](WindowMessage& message) {
      if (message.message != kAgentReloadMessage) return false;
      reloads.push_back({message.wparam, message.lparam});
      if (on_reload) on_reload();
      return true;
    });
  }
  HWND Handle() const { return window_.Handle(); }
  std::vector<std::pair<WPARAM, LPARAM>> reloads;

 private:
  static TopLevelWindowArgs Args() {
    TopLevelWindowArgs args;
    args.caption = kAgentTitle;
    args.style = WS_POPUP;
    return args;
  }
  TopLevelWindow window_;
};

class MainWindowTest : public testing::Test {
 protected:
  // A fresh folder with the given settings lines and list text (none: no file).
  void Prepare(const std::string& name, const std::string& ini = "", const char* list = nullptr) {
    dir_ = Backslashes(test::FreshDir("window_" + name));
    if (!ini.empty()) test::WriteBytes(dir_ + "vistrel.ini", "[Settings]\r\n" + ini);
    if (list) test::WriteBytes(dir_ + "list.txt", list);
  }

  void Open(const std::string& argument = "", const Lines& other_arguments = {}) {
    application_ = std::make_unique<ApplicationWindow>(kApplicationCaptionBuilding);
    MainWindowOptions options;
    options.argument = argument;
    options.other_arguments = other_arguments;
    options.directory = dir_;
    options.services.message_boxes = &message_boxes_;
    options.services.launcher = &launcher_;
    options.services.file_chooser = &chooser_;
    options.services.desktop = desktop_.get();
    options.services.registry = &registry_;
    window_ = std::make_unique<MainWindow>(*application_, std::move(options));
  }

  void TearDown() override {
    window_.reset();
    application_.reset();
    Pump(20);
  }

  test::FakeRegistry registry_;

  // Opens the window on a list of pictures that exist (BMP files), one per name.
  void OpenWithPictures(const std::string& name, const Lines& pictures,
                        const std::string& ini = "") {
    Prepare(name, ini);
    std::string list;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      test::WriteBytes(dir_ + pictures[i], test::Bmp24(3, 2, static_cast<unsigned>(i)));
      list += "1" + dir_ + pictures[i] + "\r\n";
    }
    test::WriteBytes(dir_ + "list.txt", list);
    Open();
  }

  HWND Form() { return window_->Form().Handle(); }
  HWND ListHandle() { return window_->WallpaperView()->Handle(); }
  ListView& View() { return *window_->WallpaperView(); }
  void Command(UINT id) { SendMessageA(Form(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  const ListMenuItems& Items() { return window_->MenuItems(); }
  void Key(WPARAM key, HWND target = nullptr) {
    SendMessageA(target ? target : ListHandle(), WM_KEYDOWN, key, 0);
  }
  void Notify(UINT code, int column = 0) {
    NMLISTVIEW notification = {};
    notification.hdr.hwndFrom = ListHandle();
    notification.hdr.code = code;
    notification.iItem = -1;
    notification.iSubItem = column;
    SendMessageA(Form(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notification));
  }
  void SelectOnly(const std::vector<int>& rows) {
    for (int i = 0; i < View().Count(); ++i) View().SetSelected(i, false);
    for (int row : rows) View().SetSelected(row, true);
  }
  Lines ViewImages() {
    Lines images;
    for (int i = 0; i < View().Count(); ++i) images.push_back(View().ItemText(i, 0));
    return images;
  }
  Lines ListLines() { return SplitListLines(test::ReadBytes(dir_ + "list.txt")); }
  std::string Stored(const char* key) {
    return ProfileReadString(dir_ + "vistrel.ini", "Settings", key, "<none>");
  }
  bool Closed() { return !IsWindow(form_handle_); }
  // Runs the window's messages until its close request has destroyed it.
  bool PumpUntilClosed() {
    quit_seen = false;
    form_handle_ = Form();
    return PumpUntil([this] { return Closed(); });
  }

  std::string dir_;
  // The system as the window sees it; declared before the window, which uses them to its end.
  std::unique_ptr<test::FakeDesktop> desktop_ = std::make_unique<test::FakeDesktop>();
  test::FakeMessageBoxes message_boxes_;
  std::vector<test::ShownBox>& boxes_ = message_boxes_.shown;
  test::FakeLauncher launcher_;
  Lines& launches_ = launcher_.launches;
  ScriptedChooser chooser_;
  int& dialogs_ = chooser_.dialogs;
  Lines& chosen_files_ = chooser_.chosen_files;
  std::string& chosen_folder_ = chooser_.chosen_folder;
  std::unique_ptr<ApplicationWindow> application_;
  std::unique_ptr<MainWindow> window_;
  HWND form_handle_ = nullptr;
};

std::string ShownText(HWND window) {
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

RECT BoundsIn(HWND window, HWND parent) {
  RECT bounds = {};
  GetWindowRect(window, &bounds);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

void ExpectPlace(const RECT& bounds, int left, int top, int width, int height, const char* what) {
  EXPECT_EQ(bounds.left, left) << what;
  EXPECT_EQ(bounds.top, top) << what;
  if (width) {
    EXPECT_EQ(bounds.right - bounds.left, width) << what;
  }
  if (height) {
    EXPECT_EQ(bounds.bottom - bounds.top, height) << what;
  }
}

// ---- Building and loading

TEST_F(MainWindowTest, WithoutSettingsItOpensWithTheDefaults) {
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024) << "the test display is 1024 by 768";
  ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  Prepare("defaults");
  Open();

  EXPECT_TRUE(IsWindowVisible(Form()));
  EXPECT_EQ(vistrel::MainWindow(), &window_->Form()) << "closing it ends the program";
  EXPECT_EQ(GetWindow(Form(), GW_OWNER), application_->Handle());
  // The window is its own taskbar entry, so the button's thumbnail shows it; the application
  // window's entry is there only while the program is minimized.
  EXPECT_TRUE(GetWindowLongA(Form(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_FALSE(IsWindowVisible(application_->Handle()));
  // The program's icon on the caption, in Alt+Tab and on the taskbar, at the sizes of the DPI.
  for (WPARAM kind : {ICON_BIG, ICON_SMALL}) {
    const HICON icon = reinterpret_cast<HICON>(SendMessageA(Form(), WM_GETICON, kind, 0));
    ASSERT_NE(icon, nullptr) << kind;
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(application_->Handle(), WM_GETICON, kind, 0)),
              icon);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap = {};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(kind == ICON_BIG ? SM_CXICON : SM_CXSMICON));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
  EXPECT_EQ(application_->Caption(), "Vistrel");
  EXPECT_EQ(window_->Form().Caption(), "[" + dir_ + "list.txt]");
  ExpectPlace(window_->Form().Bounds(), 281, 184, 462, 400, "window, centred");

  EXPECT_EQ(window_->IntervalBox()->Text(), "5");
  EXPECT_TRUE(window_->SequentialRadio()->Checked());
  EXPECT_FALSE(window_->RandomRadio()->Checked());
  EXPECT_FALSE(window_->RememberLastCheck()->Checked());
  EXPECT_TRUE(window_->ShowBaloonCheck()->Checked());
  EXPECT_TRUE(window_->DisableOnScreenSaverCheck()->Checked());
  EXPECT_TRUE(window_->AgentButton()->Enabled());
  EXPECT_EQ(window_->Opacity(), 255);
  EXPECT_FALSE(GetWindowLongA(Form(), GWL_EXSTYLE) & WS_EX_LAYERED);

  ASSERT_EQ(View().ColumnCount(), 2);
  EXPECT_EQ(View().ColumnCaption(0), "Image");
  EXPECT_EQ(View().ColumnCaption(1), "Style");
  EXPECT_EQ(View().ColumnWidth(0), 400);
  EXPECT_EQ(View().ColumnWidth(1), 50);
  EXPECT_EQ(ViewImages(), Lines{"No Wallpaper"});
  EXPECT_EQ(View().ItemImage(0), 1);
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), "") << "created empty";
  EXPECT_FALSE(GetFileAttributesA((dir_ + "vistrel.ini").c_str()) != INVALID_FILE_ATTRIBUTES)
      << "opening writes no settings";
}

RECT ScreenRectOf(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

RECT ClientOnScreen(HWND window) {
  RECT r = {};
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// The caption's extent in the control's own font, as the control draws it (mnemonics included).
SIZE CaptionExtent(HWND control) {
  std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT extent = {};
  DrawTextA(dc, text.data(), -1, &extent, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {extent.right - extent.left, extent.bottom - extent.top};
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// Run at every DPI by the end-to-end tests (LogPixels 96, 144 and 192, VISTREL_EXPECT_DPI saying
// which), and at the test display's DPI here.
TEST_F(MainWindowTest, AtThisDpiEveryCaptionFitsAndNoControlsOverlap) {
  test::PerMonitorAware aware;
  Prepare("layout");
  Open();
  const int dpi = window_->Dpi();
  EXPECT_EQ(dpi, WindowDpi(Form()));
  if (const int expected = test::ExpectedDpi()) {
    ASSERT_EQ(dpi, expected) << "the screen's DPI as the test was started for (the system's: "
                             << SystemDpi() << ")";
  }
  const auto s = [dpi](int design) { return MulDiv(design, dpi, 96); };
  LOGFONTA font = {};
  GetObjectA(window_->OkButton()->GetFont(), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, MessageFontForDpi(dpi).lfHeight) << "the message font at the DPI";
  EXPECT_GE(window_->OkButton()->Bounds().bottom - window_->OkButton()->Bounds().top, s(22));

  std::vector<HWND> controls;
  EnumChildWindows(Form(), CollectVisible, reinterpret_cast<LPARAM>(&controls));
  ASSERT_GE(controls.size(), 19u);
  const RECT form_client = ClientOnScreen(Form());
  const int check_glyph = SystemMetricForDpi(SM_CXMENUCHECK, dpi);
  for (HWND control : controls) {
    char name[32] = "";
    GetClassNameA(control, name, sizeof name);
    const std::string what = std::string(name) + " \"" + ShownText(control) + "\"";
    const RECT bounds = ScreenRectOf(control);
    EXPECT_TRUE(Inside(bounds, form_client)) << what << " inside the window";
    EXPECT_TRUE(Inside(bounds, ClientOnScreen(GetParent(control)))) << what << " inside its parent";
    for (HWND sibling = GetWindow(control, GW_HWNDNEXT); sibling;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
      if (!IsWindowVisible(sibling)) continue;
      RECT both = {};
      const RECT other = ScreenRectOf(sibling);
      EXPECT_FALSE(IntersectRect(&both, &bounds, &other))
          << what << " overlaps " << ShownText(sibling);
    }

    RECT client = {};
    GetClientRect(control, &client);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const SIZE text = CaptionExtent(control);
    if (lstrcmpiA(name, "Static") == 0) {
      EXPECT_GE(client.right, text.cx) << what;
      EXPECT_GE(client.bottom, text.cy) << what;
    } else if (lstrcmpiA(name, "Button") == 0) {
      switch (style & BS_TYPEMASK) {
        case BS_GROUPBOX:
          // The caption sits in the frame's top edge, after a short stretch of it; the
          // controls inside stay below it.
          EXPECT_GE(client.right, text.cx + s(8) * 2) << what;
          for (HWND inner = GetWindow(control, GW_CHILD); inner;
               inner = GetWindow(inner, GW_HWNDNEXT))
            EXPECT_GE(ScreenRectOf(inner).top, bounds.top + text.cy) << ShownText(inner);
          break;
        case BS_AUTOCHECKBOX:
        case BS_AUTORADIOBUTTON:
          EXPECT_GE(client.right, check_glyph + s(3) + text.cx) << what;
          EXPECT_GE(client.bottom, text.cy) << what;
          break;
        default:  // push buttons: the frame and the focus rectangle around the caption
          EXPECT_GE(client.right, text.cx + s(8)) << what;
          EXPECT_GE(client.bottom, text.cy + s(4)) << what;
      }
    } else if (lstrcmpiA(name, "ComboBox") == 0) {
      // Every item fits beside the drop-down button.
      ComboBox& box = *window_->IntervalBox();
      HDC dc = GetDC(control);
      HGDIOBJ old = SelectObject(dc, box.GetFont());
      for (int i = 0; i < box.Count(); ++i) {
        const std::string item = box.Item(i);
        SIZE extent = {};
        GetTextExtentPoint32A(dc, item.c_str(), static_cast<int>(item.size()), &extent);
        EXPECT_GE(client.right - SystemMetricForDpi(SM_CXVSCROLL, dpi) - s(6), extent.cx) << item;
      }
      SelectObject(dc, old);
      ReleaseDC(control, dc);
    }
  }
  // The window opens large enough to show them all, and cannot be made smaller than that.
  const SIZE minimum = window_->MinimumSize();
  const RECT frame = window_->Form().Bounds();
  EXPECT_GE(frame.right - frame.left, minimum.cx);
  EXPECT_GE(frame.bottom - frame.top, minimum.cy);
}

// Moved to a monitor of 144 DPI: Windows sends the new DPI and the place it suggests.
TEST_F(MainWindowTest, ANewDpiLaysTheWindowOutAgainAtTheSuggestedPlace) {
  Prepare("dpi_changed");
  Open();
  const int before = window_->Dpi();
  const int after = before * 3 / 2;
  RECT suggested = {50, 40, 50 + MulDiv(462, after, 96), 40 + MulDiv(400, after, 96)};
  SendMessageA(Form(), WM_DPICHANGED, MAKEWPARAM(after, after),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window_->Dpi(), after);
  RECT frame = window_->Form().Bounds();
  EXPECT_TRUE(EqualRect(&frame, &suggested));
  LOGFONTA font = {};
  GetObjectA(window_->OkButton()->GetFont(), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, MessageFontForDpi(after).lfHeight);
  const RECT ok = window_->OkButton()->Bounds();
  EXPECT_EQ(ok.bottom - ok.top, MulDiv(22, after, 96));
  EXPECT_EQ(ok.right - ok.left, MulDiv(64, after, 96));
  EXPECT_EQ(View().ColumnWidth(0), MulDiv(400, after, before));
  int icon_width = 0, icon_height = 0;
  const auto images =
      reinterpret_cast<HIMAGELIST>(SendMessageA(ListHandle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  ImageList_GetIconSize(images, &icon_width, &icon_height);
  EXPECT_EQ(icon_width, SystemMetricForDpi(SM_CXSMICON, after));
  EXPECT_EQ(ImageList_GetImageCount(images), 3) << "the strip is there again at the new size";
  const HICON small = reinterpret_cast<HICON>(SendMessageA(Form(), WM_GETICON, ICON_SMALL, 0));
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(small, &info));
  BITMAP bitmap = {};
  GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, SystemMetricForDpi(SM_CXSMICON, after));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  // OK stores the size at 96 DPI.
  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("Width"), "462");
  EXPECT_EQ(Stored("Height"), "400");
  EXPECT_EQ(Stored("Left"), "50");
  EXPECT_EQ(Stored("ColumnWidth0"), "400");
}

TEST_F(MainWindowTest, ControlsHaveTheirCaptionsPlacesAndFont) {
  Prepare("controls");
  Open();
  RECT client;
  GetClientRect(Form(), &client);
  HWND panel = window_->SettingsPanel()->Handle();
  ExpectPlace(BoundsIn(panel, Form()), 0, client.bottom - 190, client.right, 190, "panel");
  ExpectPlace(BoundsIn(ListHandle(), Form()), 0, 0, client.right, client.bottom - 190, "list");
  EXPECT_EQ(GetSysColor(COLOR_WINDOW),
            static_cast<DWORD>(SendMessageA(ListHandle(), LVM_GETBKCOLOR, 0, 0)));

  struct Expected {
    Control* control;
    const char* caption;
    HWND parent;
    int left, top, width, height;
  };
  HWND timer = window_->TimerGroup()->Handle();
  HWND wallpaper = window_->WallpaperGroup()->Handle();
  HWND other = window_->OtherGroup()->Handle();
  const Expected expected[] = {
      {window_->WallpaperGroup(), "Wallpaper:", panel, 8, 8, 169, 70},
      {window_->SequentialRadio(), "Sequential", wallpaper, 8, 16, 0, 0},
      {window_->RandomRadio(), "Random", wallpaper, 88, 16, 0, 0},
      {window_->ShuffleRadio(), "Shuffle", wallpaper, 8, 33, 0, 0},
      {window_->RememberLastCheck(), "Remember last wallpaper", wallpaper, 9, 50, 0, 0},
      {window_->OtherGroup(), "Other:", panel, 184, 8, 217, 70},
      {window_->ShowBaloonCheck(), "Show baloon tooltip on change", other, 8, 16, 0, 0},
      {window_->DisableOnScreenSaverCheck(), "Disable on screensaver", other, 8, 40, 0, 0},
      {window_->TimerGroup(), "Timer:", panel, 8, 80, 169, 49},
      {window_->IntervalLabel(), "Interval:", timer, 8, 20, 0, 0},
      {window_->IntervalBox(), "5", timer, 64, 17, 49, 21},
      {window_->MinutesLabel(), "min.", timer, 120, 20, 0, 0},
      {window_->AgentButton(), "Agent", panel, 184, 107, 64, 22},
      {window_->CancelButton(), "Cancel", panel, 265, 107, 64, 22},
      {window_->OkButton(), "OK", panel, 337, 107, 64, 22},
      {window_->MonitorsLabel(), "Monitors:", panel, 8, 138, 0, 0},
      {window_->MonitorsBox(), "One picture, laid out by Windows", panel, 64, 135, 0, 21},
      {window_->PortraitCheck(), "Portrait pictures on portrait monitors", panel, 64, 162, 0, 0},
  };
  // The system's message font; at 96 DPI under Wine that is the design's Tahoma of 11 pixels.
  const LOGFONTA message_font = MessageFontForDpi(96);
  HWND previous = nullptr;
  for (const Expected& e : expected) {
    HWND handle = e.control->Handle();
    EXPECT_EQ(e.control->Caption(), e.caption);
    EXPECT_EQ(GetParent(handle), e.parent) << e.caption;
    ExpectPlace(BoundsIn(handle, e.parent), e.left, e.top, e.width, e.height, e.caption);
    EXPECT_TRUE(IsWindowVisible(handle)) << e.caption;
    // Creation order is the order of the windows among their siblings (and the Tab order): the
    // reading order.
    if (previous && GetParent(previous) == e.parent) {
      EXPECT_EQ(GetWindow(previous, GW_HWNDNEXT), handle) << e.caption << " after its sibling";
    }
    previous = handle;

    LOGFONTA font = {};
    ASSERT_TRUE(GetObjectA(e.control->GetFont(), sizeof font, &font)) << e.caption;
    EXPECT_STREQ(font.lfFaceName, message_font.lfFaceName) << e.caption;
    EXPECT_EQ(font.lfHeight, message_font.lfHeight) << e.caption;
  }

  // Labels, radio buttons and check boxes fit their captions: wider than the text, not wider
  // than the text with room for a mark.
  for (Control* fitted : std::initializer_list<Control*>{
           window_->IntervalLabel(), window_->MinutesLabel(), window_->SequentialRadio(),
           window_->RememberLastCheck(), window_->ShowBaloonCheck()}) {
    HDC dc = GetDC(fitted->Handle());
    HGDIOBJ old = SelectObject(dc, fitted->GetFont());
    SIZE text = {};
    std::string caption = fitted->Caption();
    GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    SelectObject(dc, old);
    ReleaseDC(fitted->Handle(), dc);
    RECT bounds = fitted->Bounds();
    EXPECT_GE(bounds.right - bounds.left, text.cx) << caption;
    EXPECT_LE(bounds.right - bounds.left, text.cx + 24) << caption;
  }
  EXPECT_LT(window_->IntervalLabel()->Bounds().right, 64) << "the label ends before the box";
  EXPECT_LE(window_->SequentialRadio()->Bounds().right, 88) << "Sequential ends before Random";
  // The third order's row fits between the first row and "Remember last wallpaper", which
  // stays inside its group.
  const RECT first_row = BoundsIn(window_->SequentialRadio()->Handle(), wallpaper);
  const RECT shuffle = BoundsIn(window_->ShuffleRadio()->Handle(), wallpaper);
  const RECT remember = BoundsIn(window_->RememberLastCheck()->Handle(), wallpaper);
  EXPECT_LE(first_row.bottom, shuffle.top);
  EXPECT_LE(shuffle.bottom, remember.top);
  EXPECT_LE(remember.bottom, 70 - 2);

  // A screen reader names a box after the label just before it: "Interval:", not "min.".
  EXPECT_EQ(GetWindow(window_->IntervalBox()->Handle(), GW_HWNDPREV),
            window_->IntervalLabel()->Handle());

  ComboBox& interval = *window_->IntervalBox();
  Lines items;
  for (int i = 0; i < interval.Count(); ++i) items.push_back(interval.Item(i));
  EXPECT_EQ(items, (Lines{"1", "5", "10", "15", "20", "25", "30", "60", "90", "120", "300", "720",
                          "1440"}));
  EXPECT_TRUE(GetWindowLongA(interval.Handle(), GWL_STYLE) & CBS_DROPDOWN) << "editable";

  ListBox& scratch = *window_->FolderScratchList();
  EXPECT_FALSE(IsWindowVisible(scratch.Handle()));
  EXPECT_EQ(GetParent(scratch.Handle()), Form());
  ExpectPlace(BoundsIn(scratch.Handle(), Form()), 24, 37, 116, 60, "scratch list");
  EXPECT_FALSE(GetWindowLongA(scratch.Handle(), GWL_STYLE) & LBS_SORT);

  LONG style = GetWindowLongA(ListHandle(), GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_FALSE(style & LVS_SINGLESEL) << "multiple selection";
  EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
  LRESULT extended = SendMessageA(ListHandle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  EXPECT_TRUE(extended & LVS_EX_FULLROWSELECT);
  EXPECT_TRUE(extended & LVS_EX_INFOTIP);
  EXPECT_TRUE(GetWindowLongA(ListHandle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_TRUE(GetWindowLongA(window_->OkButton()->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
}

TEST_F(MainWindowTest, TheIconStripGivesThreeIconsWithWhiteTransparent) {
  Prepare("icons");
  Open();
  HIMAGELIST images =
      reinterpret_cast<HIMAGELIST>(SendMessageA(ListHandle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  ASSERT_NE(images, nullptr);
  ASSERT_EQ(ImageList_GetImageCount(images), 3);
  int width = 0, height = 0;
  ImageList_GetIconSize(images, &width, &height);
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 16);

  // Each icon drawn onto a blue field: transparent pixels stay blue.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO info = test::TopDownBgra(16, 16);
  void* bits = nullptr;
  HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, target);
  auto pixel = [&](int x, int y) {
    const unsigned char* p = static_cast<const unsigned char*>(bits) + (y * 16 + x) * 4;
    return RGB(p[2], p[1], p[0]);
  };
  const COLORREF blue = RGB(0, 0, 255);
  std::vector<COLORREF> centres;
  for (int icon = 0; icon < 3; ++icon) {
    HBRUSH brush = CreateSolidBrush(blue);
    RECT all = {0, 0, 16, 16};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ImageList_Draw(images, icon, dc, 0, 0, ILD_TRANSPARENT);
    GdiFlush();
    EXPECT_EQ(pixel(0, 0), blue) << "icon " << icon << ": white is transparent";
    centres.push_back(pixel(7, 7));
  }
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);

  auto red = [](COLORREF c) {
    return GetRValue(c) > 150 && GetGValue(c) < 80 && GetBValue(c) < 80;
  };
  auto grey = [](COLORREF c) {
    return std::abs(GetRValue(c) - GetGValue(c)) < 12 && std::abs(GetGValue(c) - GetBValue(c)) < 12;
  };
  EXPECT_FALSE(grey(centres[0])) << "the picture file in colour";
  EXPECT_TRUE(red(centres[1])) << "the prohibition sign's bar crosses its centre";
  EXPECT_TRUE(grey(centres[2])) << "the picture file greyed";
}

TEST_F(MainWindowTest, StoredSettingsAreShownAndWrittenBackOnOk) {
  Prepare("stored",
          "Interval=45\r\nRandomWallpaper=1\r\nRememberLast=1\r\nShowBaloonOnChange=0\r\n"
          "DisableOnScreenSaver=0\r\nWidth=500\r\nHeight=420\r\nLeft=30\r\nTop=40\r\n"
          "ColumnWidth0=300\r\nColumnWidth1=77\r\nLastIndex=9\r\n");
  Open();
  EXPECT_EQ(window_->IntervalBox()->Text(), "45") << "shown as stored, though not an item";
  EXPECT_TRUE(window_->RandomRadio()->Checked());
  EXPECT_FALSE(window_->SequentialRadio()->Checked());
  EXPECT_TRUE(window_->RememberLastCheck()->Checked());
  EXPECT_FALSE(window_->ShowBaloonCheck()->Checked());
  EXPECT_FALSE(window_->DisableOnScreenSaverCheck()->Checked());
  ExpectPlace(window_->Form().Bounds(), 30, 40, 500, 420, "stored place");
  EXPECT_EQ(View().ColumnWidth(0), 300);
  EXPECT_EQ(View().ColumnWidth(1), 77);

  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(ProfileLines(dir_ + "vistrel.ini"),
            (Lines{"Interval=45", "RandomWallpaper=1", "RememberLast=1", "ShowBaloonOnChange=0",
                   "DisableOnScreenSaver=0", "Width=500", "Height=420", "Left=30", "Top=40",
                   "ColumnWidth0=300", "ColumnWidth1=77", "LastIndex=9", "StartHidden=0",
                   "Opacity=255", "MonitorMode=0", "PortraitOnPortrait=1"}))
      << "every key rewritten in place, LastIndex untouched without a selection";
}

TEST_F(MainWindowTest, ShuffleIsShownFromTwoAndWrittenAsTwo) {
  Prepare("shuffle", "RandomWallpaper=2\r\n");
  Open();
  EXPECT_TRUE(window_->ShuffleRadio()->Checked());
  EXPECT_FALSE(window_->RandomRadio()->Checked());
  EXPECT_FALSE(window_->SequentialRadio()->Checked());
  SendMessageA(window_->RandomRadio()->Handle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(window_->ShuffleRadio()->Checked()) << "one radio group of three";
  SendMessageA(window_->ShuffleRadio()->Handle(), BM_CLICK, 0, 0);
  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(ProfileReadString(dir_ + "vistrel.ini", "Settings", "RandomWallpaper", ""), "2");
}

TEST_F(MainWindowTest, TheAgentsArgumentsPutAPictureOnEachMonitor) {
  Prepare("monitor_arguments", "MonitorMode=1\r\n");
  test::WriteBytes(dir_ + "a.bmp", test::Bmp24(4, 4, 3));
  desktop_->monitors = {{0, 0, 8, 6, true}, {8, 0, 6, 8, false}};
  Open("1" + dir_ + "a.bmp", {"1" + dir_ + "gone.bmp", "3" + dir_ + "a.bmp"});
  form_handle_ = Form();
  EXPECT_EQ(window_->CommandLineResult(), ApplyResult::kApplyExitChanged);
  TRasterBitmap written;
  written.LoadFromFile(dir_ + "vistrel_wlp.bmp");
  EXPECT_EQ(written.Width(), 14);
  // The stretched copy fills the portrait monitor; the centred one leaves the primary's edge.
  const std::uint8_t* top = written.ScanLine(0);
  EXPECT_EQ(top[0] | top[1] | top[2], 0) << "centred: black around";
  EXPECT_NE(top[13 * 3] | top[13 * 3 + 1] | top[13 * 3 + 2], 0) << "stretched: covered";
  ASSERT_TRUE(PumpUntil([&] { return Closed(); }));
}

TEST_F(MainWindowTest, StartWithWindowsFollowsTheRunValueNotTheSettingsFile) {
  Prepare("run_value");
  const std::string ours = "\"" + dir_ + "vistrel_agent.exe\"";
  registry_.values[kRunValuePath] = "\"D:\\Other\\vistrel_agent.exe\"";  // another copy's agent
  Open();
  CheckBox& check = *window_->StartWithWindowsCheck();
  EXPECT_EQ(check.Caption(), "Start with Windows");
  EXPECT_EQ(GetParent(check.Handle()), window_->SettingsPanel()->Handle());
  const RECT bounds = BoundsIn(check.Handle(), window_->SettingsPanel()->Handle());
  const RECT other = BoundsIn(window_->OtherGroup()->Handle(), window_->SettingsPanel()->Handle());
  const RECT ok = BoundsIn(window_->OkButton()->Handle(), window_->SettingsPanel()->Handle());
  EXPECT_GE(bounds.top, other.bottom) << "below the Other group";
  EXPECT_LE(bounds.bottom, ok.top) << "above the buttons";
  EXPECT_FALSE(check.Checked()) << "the value names another copy";

  // Checked and OK: the value names this folder's agent, in quotes.
  SendMessageA(check.Handle(), BM_CLICK, 0, 0);
  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(registry_.changes, Lines{"Vistrel Agent=" + ours});
  EXPECT_EQ(ProfileReadString(dir_ + "vistrel.ini", "Settings", "StartWithWindows", "<none>"),
            "<none>");

  // Opened again: checked from the value; unchecked and OK removes it.
  window_.reset();
  application_.reset();
  registry_.values[kRunValuePath] =
      "\"" + Upper(dir_) + "VISTREL_AGENT.EXE\"";  // the system's letter case is its own
  Open();
  EXPECT_TRUE(window_->StartWithWindowsCheck()->Checked());
  SendMessageA(window_->StartWithWindowsCheck()->Handle(), BM_CLICK, 0, 0);
  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(registry_.changes, (Lines{"Vistrel Agent=" + ours, "delete Vistrel Agent"}));
  EXPECT_EQ(registry_.values.count(kRunValuePath), 0u);

  // Cancel changes nothing; a value that cannot be written is reported and the window stays.
  window_.reset();
  application_.reset();
  Open();
  SendMessageA(window_->StartWithWindowsCheck()->Handle(), BM_CLICK, 0, 0);
  window_->CancelButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(registry_.changes.size(), 2u);
  window_.reset();
  application_.reset();
  registry_.failure = "Access denied.";
  Open();
  SendMessageA(window_->StartWithWindowsCheck()->Handle(), BM_CLICK, 0, 0);
  window_->OkButton()->Click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find("Access denied."), std::string::npos) << boxes_[0].text;
  EXPECT_NE(boxes_[0].text.find("The other settings were saved."), std::string::npos);
  EXPECT_EQ(ProfileReadString(dir_ + "vistrel.ini", "Settings", "Interval", "<none>"), "5");
  EXPECT_TRUE(IsWindow(Form())) << "the window stays for another try";
}

TEST_F(MainWindowTest, OkWritesEveryKeyInOrderAndEndsTheProgram) {
  Prepare("ok_order");
  Open();
  window_->IntervalBox()->SetText("45");
  SendMessageA(window_->RandomRadio()->Handle(), BM_CLICK, 0, 0);
  SendMessageA(window_->RememberLastCheck()->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(window_->RandomRadio()->Checked());
  EXPECT_FALSE(window_->SequentialRadio()->Checked()) << "one radio group";
  SendMessageA(window_->OkButton()->Handle(), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(ProfileLines(dir_ + "vistrel.ini"),
            (Lines{"Left=281", "Top=184", "Width=462", "Height=400", "ColumnWidth0=400",
                   "ColumnWidth1=50", "StartHidden=0", "Opacity=255", "Interval=45",
                   "RememberLast=1", "ShowBaloonOnChange=1", "RandomWallpaper=1",
                   "DisableOnScreenSaver=1", "MonitorMode=0", "PortraitOnPortrait=1"}));
  EXPECT_TRUE(PumpUntil([] { return quit_seen; })) << "the program ends";
}

TEST_F(MainWindowTest, OkRefusesAnIntervalThatIsNotWholeMinutes) {
  Prepare("interval_refused", "Interval=abc\r\n");
  Open();
  EXPECT_EQ(window_->IntervalBox()->Text(), "abc") << "shown as stored";
  for (const char* typed : {"abc", "0.5", "0", ""}) {
    window_->IntervalBox()->SetText(typed);
    boxes_.clear();
    window_->OkButton()->Click();
    Pump(50);
    ASSERT_EQ(boxes_.size(), 1u) << typed;
    EXPECT_EQ(boxes_[0].text, kIntervalRefused) << typed;
    EXPECT_NE(boxes_[0].text.find("\"Interval:\""), std::string::npos) << "names the box";
    EXPECT_EQ(boxes_[0].caption, kWarningCaption);
    EXPECT_EQ(boxes_[0].style, static_cast<unsigned>(MB_OK | MB_ICONWARNING));
    EXPECT_TRUE(IsWindow(Form())) << typed << ": the window stays";
    EXPECT_EQ(Stored("StartHidden"), "<none>") << typed << ": nothing saved";
  }
  window_->IntervalBox()->SetText("30");
  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("Interval"), "30");
}

TEST_F(MainWindowTest, AStoredPlaceOffTheMonitorsOrAnOddSizeOpensOnTheWorkArea) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetMonitorInfoA(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
  const RECT work = info.rcWork;
  struct Case {
    const char* ini;
    int width, height;  // 0: the work area's
  };
  for (const Case& c : {Case{"Left=5000\r\nTop=-3000\r\n", 462, 400},
                        Case{"Width=0\r\nHeight=0\r\n", kMinimumWidth, kMinimumHeight},
                        Case{"Width=999999\r\nHeight=2000000000\r\nLeft=-10\r\n", 0, 0}}) {
    Prepare("place", c.ini);
    Open();
    const RECT r = window_->Form().Bounds();
    EXPECT_EQ(r.right - r.left, c.width ? c.width : work.right - work.left) << c.ini;
    EXPECT_EQ(r.bottom - r.top, c.height ? c.height : work.bottom - work.top) << c.ini;
    EXPECT_TRUE(r.left >= work.left && r.top >= work.top && r.right <= work.right &&
                r.bottom <= work.bottom)
        << c.ini << ": " << r.left << "," << r.top << " " << r.right << "," << r.bottom;
    window_.reset();
  }
}

TEST_F(MainWindowTest, EnterIsOkAndEscapeIsCancel) {
  Prepare("enter");
  Open();
  Key(VK_RETURN);  // in the list, which has the focus
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("StartHidden"), "0");
  EXPECT_EQ(Stored("Interval"), "5");
  window_.reset();

  Prepare("enter_in_box");
  Open();
  COMBOBOXINFO combo = {};
  combo.cbSize = sizeof combo;
  ASSERT_TRUE(GetComboBoxInfo(window_->IntervalBox()->Handle(), &combo));
  SetWindowTextA(combo.hwndItem, "7");
  Key(VK_RETURN, combo.hwndItem);
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("Interval"), "7");
  window_.reset();

  Prepare("escape", "", "0C:\\kept.jpg\r\n");
  Open();
  chosen_files_ = {"C:\\added.jpg"};
  Command(kCommandAdd);
  Key(VK_ESCAPE);
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_FALSE(GetFileAttributesA((dir_ + "vistrel.ini").c_str()) != INVALID_FILE_ATTRIBUTES)
      << "Cancel writes no settings";
  EXPECT_EQ(ListLines(), (Lines{"1C:\\kept.jpg", "1C:\\added.jpg"})) << "list edits stay saved";
  window_.reset();

  Prepare("close_box");
  Open();
  SendMessageA(Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_FALSE(GetFileAttributesA((dir_ + "vistrel.ini").c_str()) != INVALID_FILE_ATTRIBUTES);
  window_.reset();

  // The taskbar entry's close closes the window the same way.
  Prepare("application_close");
  Open();
  form_handle_ = Form();
  application_->Close();
  ASSERT_TRUE(PumpUntil([this] { return Closed(); }));
  EXPECT_TRUE(IsWindow(application_->Handle())) << "it stays until the program ends";
}

// Keys posted to the focused control, as the keyboard sends them, through the program's loop.
void PressKey(WPARAM key, bool shift = false) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
  PostMessageA(GetFocus(), WM_KEYUP, key, 0xC0000001);
  test::PumpMessages(30);
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

// Alt and a letter.
void PressAlt(char letter) {
  PostMessageA(GetFocus(), WM_SYSKEYDOWN, VK_MENU, 0x20000001);
  PostMessageA(GetFocus(), WM_SYSCHAR, static_cast<WPARAM>(letter), 0x20000001);
  PostMessageA(GetFocus(), WM_KEYUP, VK_MENU, 0xC0000001);
  test::PumpMessages(30);
}

// The control that has the focus: a combo box for its edit field.
HWND FocusedControl() {
  HWND focus = GetFocus();
  char name[16] = "";
  GetClassNameA(GetParent(focus), name, sizeof name);
  return lstrcmpiA(name, "ComboBox") == 0 ? GetParent(focus) : focus;
}

TEST_F(MainWindowTest, TabVisitsTheControlsInReadingOrderAndArrowsMoveInTheRadioGroup) {
  Prepare("tab");
  Open();
  EXPECT_EQ(GetFocus(), ListHandle()) << "the list has the focus when the window opens";
  const std::vector<Control*> reading_order = {
      window_->SequentialRadio(), window_->RememberLastCheck(),
      window_->ShowBaloonCheck(), window_->DisableOnScreenSaverCheck(),
      window_->IntervalBox(),     window_->StartWithWindowsCheck(),
      window_->AgentButton(),     window_->CancelButton(),
      window_->OkButton(),        window_->MonitorsBox(),
      window_->WallpaperView()};
  for (Control* next : reading_order) {
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedControl(), next->Handle()) << next->Caption();
  }
  PressKey(VK_TAB, true);
  EXPECT_EQ(FocusedControl(), window_->MonitorsBox()->Handle()) << "Shift+Tab goes back";
  EXPECT_EQ(SendMessageA(Form(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0)
      << "focus rectangles show once the keyboard is used";

  // The radio group is one stop, the checked button; the arrows move and check within it.
  window_->SequentialRadio()->Focus();
  PressKey(VK_RIGHT);
  EXPECT_EQ(GetFocus(), window_->RandomRadio()->Handle());
  EXPECT_TRUE(window_->RandomRadio()->Checked());
  EXPECT_FALSE(window_->SequentialRadio()->Checked());
  PressKey(VK_DOWN);
  EXPECT_EQ(GetFocus(), window_->ShuffleRadio()->Handle());
  PressKey(VK_DOWN);
  EXPECT_EQ(GetFocus(), window_->SequentialRadio()->Handle()) << "round within the group";
  PressKey(VK_UP);
  PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), window_->RememberLastCheck()->Handle());
  PressKey(VK_TAB, true);
  EXPECT_EQ(GetFocus(), window_->ShuffleRadio()->Handle()) << "back to the checked button";

  // Alt and the underlined letter: a box is toggled, a label's box takes the focus.
  const bool remember = window_->RememberLastCheck()->Checked();
  PressAlt('l');
  EXPECT_NE(window_->RememberLastCheck()->Checked(), remember);
  PressAlt('i');
  EXPECT_EQ(FocusedControl(), window_->IntervalBox()->Handle());

  // Enter on a focused push button presses that button, as in a dialog.
  window_->CancelButton()->Focus();
  test::PumpMessages(10);
  EXPECT_TRUE(GetWindowLongA(window_->CancelButton()->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON)
      << "the focused button shows it is the one Enter presses";
  EXPECT_FALSE(GetWindowLongA(window_->OkButton()->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_FALSE(GetFileAttributesA((dir_ + "vistrel.ini").c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST_F(MainWindowTest, TheMonitorsChoiceIsShownAppliedByTheWindowAndWrittenOnOk) {
  Prepare("monitors", "MonitorMode=1\r\nPortraitOnPortrait=0\r\n");
  test::WriteBytes(dir_ + "p.bmp", test::Bmp24(4, 4, 3));
  test::WriteBytes(dir_ + "list.txt", "1" + dir_ + "p.bmp\r\n");
  desktop_->monitors = {{0, 0, 8, 6, true}, {8, 0, 6, 8, false}};
  Open();
  EXPECT_EQ(window_->MonitorsBox()->SelectedIndex(), 1);
  EXPECT_FALSE(window_->PortraitCheck()->Checked());
  EXPECT_TRUE(window_->PortraitCheck()->Enabled());
  SelectOnly({1});  // under the row that removes the wallpaper
  Notify(NM_DBLCLK);
  TRasterBitmap written;
  written.LoadFromFile(dir_ + "vistrel_wlp.bmp");
  EXPECT_EQ(written.Width(), 14) << "the whole desktop";
  EXPECT_EQ(written.Height(), 8);
  EXPECT_EQ(registry_.Value(kDesktopKey, "WallpaperStyle"), "22");

  window_->MonitorsBox()->Focus();
  PressKey(VK_DOWN);
  EXPECT_EQ(window_->MonitorsBox()->SelectedIndex(), 2);
  EXPECT_FALSE(window_->PortraitCheck()->Enabled()) << "only dealt pictures go by it";
  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("MonitorMode"), "2");
  EXPECT_EQ(Stored("PortraitOnPortrait"), "0");
}

TEST_F(MainWindowTest, EnterAndEscapeThroughTheLoopPressOkAndCancel) {
  for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    Prepare(key == VK_RETURN ? "loop_enter" : "loop_escape");
    Open();
    // Enter in the list, which has the focus; Escape in the interval box.
    if (key == VK_ESCAPE) window_->IntervalBox()->Focus();
    PressKey(key);
    ASSERT_TRUE(PumpUntilClosed()) << key;
    EXPECT_EQ(Stored("Interval"), key == VK_RETURN ? "5" : "<none>");
    window_.reset();
  }
}

TEST_F(MainWindowTest, OpacityUsesTheLowEightBitsAboveAFloorAndIsWrittenBackAsStored) {
  struct Case {
    const char* stored;
    bool layered;
    int alpha;
  };
  for (const Case& c :
       {Case{"128", true, 128}, Case{"255", false, 255}, Case{"511", false, 255},
        Case{"384", true, 128}, Case{"256", true, kMinimumAlpha}, Case{"0", true, kMinimumAlpha}}) {
    Prepare(std::string("opacity_") + c.stored, std::string("Opacity=") + c.stored + "\r\n");
    Open();
    bool layered = (GetWindowLongA(Form(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    EXPECT_EQ(layered, c.layered) << c.stored;
    if (layered) {
      COLORREF key = 1;
      BYTE alpha = 0;
      DWORD flags = 0;
      ASSERT_TRUE(GetLayeredWindowAttributes(Form(), &key, &alpha, &flags)) << c.stored;
      EXPECT_EQ(alpha, c.alpha) << c.stored;
      EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA)) << c.stored;
    }
    window_->OkButton()->Click();
    ASSERT_TRUE(PumpUntilClosed());
    EXPECT_EQ(Stored("Opacity"), c.stored);
    window_.reset();
  }
}

TEST_F(MainWindowTest, StartHiddenMinimizesToTheTaskbarEntryUntilRestored) {
  Prepare("hidden", "StartHidden=1\r\n");
  Open();
  EXPECT_TRUE(application_->IsMinimized());
  EXPECT_TRUE(IsWindowVisible(application_->Handle())) << "the taskbar entry stays";
  EXPECT_FALSE(IsWindowVisible(Form()));
  window_->SaveSettings();  // what OK would write while hidden
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("StartHidden"), "1");
  window_.reset();
  application_.reset();

  Prepare("restored", "StartHidden=1\r\n");
  Open();
  SendMessageA(application_->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(application_->IsMinimized());
  EXPECT_TRUE(IsWindowVisible(Form()));
  // The window's own minimize box minimizes the whole program.
  SendMessageA(Form(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(application_->IsMinimized());
  EXPECT_FALSE(IsWindowVisible(Form()));
  SendMessageA(application_->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(IsWindowVisible(Form()));
  SendMessageA(window_->OkButton()->Handle(), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("StartHidden"), "0");
}

TEST_F(MainWindowTest, WithAnArgumentItAppliesAndClosesWithoutShowingAnything) {
  Prepare("argument");
  const std::string picture = test::Bmp24(5, 3, 9);
  test::WriteBytes(dir_ + "sea.bmp", picture);
  Open("2" + dir_ + "sea.bmp");
  form_handle_ = Form();
  EXPECT_FALSE(IsWindowVisible(Form()));
  EXPECT_EQ(window_->Form().Caption(), "Form1");
  EXPECT_EQ(application_->Caption(), "vistrel");
  EXPECT_EQ(test::ReadBytes(dir_ + "vistrel_wlp.bmp"), picture);
  EXPECT_EQ(registry_.Value(kDesktopKey, "WallpaperStyle"), "0");
  EXPECT_EQ(registry_.Value(kDesktopKey, "TileWallpaper"), "1");
  ASSERT_EQ(desktop_->wallpapers.size(), 1u);
  bool shown = false;
  ASSERT_TRUE(PumpUntil([&] {
    shown = shown || (IsWindow(form_handle_) && IsWindowVisible(form_handle_));
    return Closed();
  }));
  EXPECT_FALSE(shown);
  EXPECT_FALSE(IsWindowVisible(application_->Handle()));
  EXPECT_FALSE(GetFileAttributesA((dir_ + "list.txt").c_str()) != INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(GetFileAttributesA((dir_ + "vistrel.ini").c_str()) != INVALID_FILE_ATTRIBUTES);
}

// ---- The list

TEST_F(MainWindowTest, AddByMenuAndInsertKey) {
  Prepare("add", "", "0C:\\first.jpg\r\n");
  Open();
  chosen_files_.clear();
  Command(kCommandAdd);
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), "0C:\\first.jpg\r\n") << "cancelled: not rewritten";

  chosen_files_ = {"C:\\pics\\b.png", "C:\\pics\\a.psd"};
  Command(kCommandAdd);
  EXPECT_EQ(ListLines(), (Lines{"1C:\\first.jpg", "1C:\\pics\\b.png", "1C:\\pics\\a.psd"}))
      << "in the dialog's order, Center, not checked against the filter";
  EXPECT_EQ(ViewImages(),
            (Lines{"No Wallpaper", "C:\\first.jpg", "C:\\pics\\b.png", "C:\\pics\\a.psd"}));
  EXPECT_EQ(View().ItemText(2, 1), "Center");
  EXPECT_EQ(View().ItemImage(2), 0);
  EXPECT_EQ(View().ItemImage(1), 2) << "the missing file's icon from loading stays";

  chosen_files_ = {"C:\\x.bmp"};
  Key(VK_INSERT);
  EXPECT_EQ(dialogs_, 3);
  EXPECT_EQ(ListLines().back(), "1C:\\x.bmp");
}

TEST_F(MainWindowTest, AddDirectoryListsPlainFilesByMaskInOrder) {
  Prepare("add_dir");
  const std::string folder = dir_ + "pictures";
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\folder.bmp").c_str(), nullptr);
  CreateDirectoryA((folder + "\\deeper").c_str(), nullptr);
  for (const char* name :
       {"a.png", "b.bmp", "c.psd", "d.jpg", "e.gif", "f.txt", "deeper\\g.bmp", "h.jpeg"})
    test::WriteBytes(folder + "\\" + name, "x");
  Open();
  chosen_folder_.clear();
  Command(kCommandAddDirectory);
  EXPECT_EQ(ListLines(), Lines{}) << "cancelled";
  EXPECT_EQ(View().Count(), 1);

  chosen_folder_ = folder;
  Command(kCommandAddDirectory);
  EXPECT_EQ(ListLines(),
            (Lines{"1" + folder + "\\b.bmp", "1" + folder + "\\d.jpg", "1" + folder + "\\h.jpeg",
                   "1" + folder + "\\e.gif", "1" + folder + "\\a.png", "1" + folder + "\\c.psd"}))
      << "every kind the applier reads, mask by mask";
  EXPECT_FALSE(IsWindowVisible(window_->FolderScratchList()->Handle()));

  // A folder without pictures still rewrites the list.
  test::WriteBytes(dir_ + "list.txt", "0C:\\old.jpg\r\n");
  CreateDirectoryA((dir_ + "empty").c_str(), nullptr);
  chosen_folder_ = dir_ + "empty";
  Command(kCommandAddDirectory);
  EXPECT_EQ(ListLines().size(), 6u) << "rewritten from the rows";
  EXPECT_EQ(ListLines()[0], "1" + folder + "\\b.bmp");
}

TEST_F(MainWindowTest, DeleteKeepsNoWallpaperAndUnselectsIt) {
  Prepare("delete", "", "1C:\\a.jpg\r\n2C:\\b.jpg\r\n3C:\\c.jpg\r\n0C:\\d.jpg\r\n");
  Open();
  Command(kCommandDelete);
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"),
            "1C:\\a.jpg\r\n2C:\\b.jpg\r\n3C:\\c.jpg\r\n0C:\\d.jpg\r\n")
      << "nothing selected: not rewritten";

  SelectOnly({0, 1, 3});
  Command(kCommandDelete);
  EXPECT_EQ(ListLines(), (Lines{"2C:\\b.jpg", "1C:\\d.jpg"}));
  EXPECT_EQ(ViewImages(), (Lines{"No Wallpaper", "C:\\b.jpg", "C:\\d.jpg"}));
  EXPECT_EQ(View().SelectedCount(), 0) << "No Wallpaper stays, unselected";

  SelectOnly({2});
  Key(VK_DELETE);
  EXPECT_EQ(ListLines(), (Lines{"2C:\\b.jpg"}));

  // Only No Wallpaper: it is unselected and the list rewritten unchanged.
  SelectOnly({0});
  Key(VK_DELETE);
  EXPECT_EQ(View().SelectedCount(), 0);
  EXPECT_EQ(ViewImages(), (Lines{"No Wallpaper", "C:\\b.jpg"}));
}

TEST_F(MainWindowTest, StylesSkipNoWallpaper) {
  Prepare("styles", "", "1C:\\a.jpg\r\n1C:\\b.jpg\r\n1C:\\c.jpg\r\n");
  Open();
  SelectOnly({0, 1, 3});
  Command(kCommandTile);
  EXPECT_EQ(ListLines(), (Lines{"2C:\\a.jpg", "1C:\\b.jpg", "2C:\\c.jpg"}));
  EXPECT_EQ(View().ItemText(0, 1), "") << "No Wallpaper never gets a style";
  EXPECT_EQ(View().ItemText(1, 1), "Tile");
  EXPECT_EQ(View().SelectedCount(), 3) << "the selection stays";
  SelectOnly({2});
  Command(kCommandStretch);
  EXPECT_EQ(ListLines(), (Lines{"2C:\\a.jpg", "3C:\\b.jpg", "2C:\\c.jpg"}));
  Command(kCommandCenter);
  EXPECT_EQ(ListLines()[1], "1C:\\b.jpg");
  Command(kCommandFit);
  EXPECT_EQ(ListLines()[1], "4C:\\b.jpg");
  EXPECT_EQ(View().ItemText(2, 1), "Fit");
  Command(kCommandFill);
  EXPECT_EQ(ListLines()[1], "5C:\\b.jpg");
  EXPECT_EQ(View().ItemText(2, 1), "Fill");
  window_->UpdateListMenu();
  EXPECT_TRUE(window_->ListMenu()->Checked(Items().fill));
  EXPECT_FALSE(window_->ListMenu()->Checked(Items().fit)) << "one radio group with the others";
}

TEST_F(MainWindowTest, SelectAllByMenuAndCtrlADoesNotRewrite) {
  Prepare("select_all", "", "0C:\\a.jpg\r\n0C:\\b.jpg\r\n");
  Open();
  Command(kCommandSelectAll);
  EXPECT_EQ(View().SelectedCount(), 3) << "No Wallpaper included";
  SelectOnly({});
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  Key('A');
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(View().SelectedCount(), 3);
  Key('A');  // without Ctrl: nothing
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), "0C:\\a.jpg\r\n0C:\\b.jpg\r\n");
}

TEST_F(MainWindowTest, RemoveDeadEntriesKeepsExistingFilesAndNoWallpaper) {
  Prepare("dead");
  test::WriteBytes(dir_ + "here.bmp", "x");
  CreateDirectoryA((dir_ + "folder.bmp").c_str(), nullptr);
  test::WriteBytes(dir_ + "list.txt", "1C:\\gone.jpg\r\n2" + dir_ + "here.bmp\r\n1" + dir_ +
                                          "folder.bmp\r\n3C:\\gone2.jpg\r\n");
  Open();
  EXPECT_EQ(View().ItemImage(1), 2);
  EXPECT_EQ(View().ItemImage(2), 0);
  Command(kCommandRemoveDead);
  EXPECT_EQ(ListLines(), Lines{"2" + dir_ + "here.bmp"});
  EXPECT_EQ(ViewImages(), (Lines{"No Wallpaper", dir_ + "here.bmp"}));
}

TEST_F(MainWindowTest, DroppedFilesOfEveryKindTheApplierReadsInAnyCase) {
  Prepare("drop");
  Open();
  SendMessageA(
      ListHandle(), WM_DROPFILES,
      reinterpret_cast<WPARAM>(BuildDrop({"C:\\PHOTO.JPG", "C:\\notes.txt", "C:\\photo.jpeg",
                                          "C:\\b.bmp", "C:\\c.psd", "C:\\d.png", "C:\\readme"})),
      0);
  EXPECT_EQ(ListLines(),
            (Lines{"1C:\\PHOTO.JPG", "1C:\\photo.jpeg", "1C:\\b.bmp", "1C:\\c.psd", "1C:\\d.png"}));
  EXPECT_EQ(View().ItemText(1, 1), "") << "no style until the list is reloaded";
  ASSERT_EQ(boxes_.size(), 1u) << "one box for notes.txt and readme";
  EXPECT_EQ(boxes_[0].owner, application_->Handle());
  EXPECT_EQ(boxes_[0].text,
            "Dropped file doesn't seem to have correct extension, sorry.\n\nC:\\notes.txt\n"
            "C:\\readme");
  EXPECT_EQ(boxes_[0].caption, "Vistrel");
  EXPECT_EQ(boxes_[0].style, static_cast<UINT>(MB_OK | MB_SETFOREGROUND));

  // Hundreds refused at once, and files chosen under "All files": still one box each.
  Lines refused;
  for (int i = 0; i < 300; ++i) refused.push_back("C:\\n" + std::to_string(i) + ".txt");
  SendMessageA(ListHandle(), WM_DROPFILES, reinterpret_cast<WPARAM>(BuildDrop(refused)), 0);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_NE(boxes_[1].text.find("C:\\n4.txt\n... and 295 more."), std::string::npos)
      << boxes_[1].text;
  chosen_files_ = {"C:\\notes.txt", "C:\\e.gif"};
  Command(kCommandAdd);
  EXPECT_EQ(ListLines().back(), "1C:\\e.gif");
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[2].text, "Dropped file doesn't seem to have correct extension, sorry.");
}

TEST_F(MainWindowTest, RemovingSeveralEntriesAsksFirstAndCtrlZPutsThemBack) {
  const std::string lines = "1C:\\a.jpg\r\n2C:\\b.jpg\r\n3C:\\c.jpg\r\n";
  Prepare("undo", "", lines.c_str());
  Open();
  message_boxes_.yes_no_answer = test::FakeMessageBoxes::kAnswerNo;
  Command(kCommandSelectAll);
  Command(kCommandDelete);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Delete 3 entries from the list?\nCtrl+Z brings them back.");
  EXPECT_EQ(boxes_[0].style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), lines) << "No: byte for byte";
  Command(kCommandRemoveDead);  // all three are gone from this machine
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text.rfind("Remove 3 entries whose files cannot be found?", 0), 0u);
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), lines);

  message_boxes_.yes_no_answer = test::FakeMessageBoxes::kAnswerYes;
  Command(kCommandSelectAll);
  Command(kCommandDelete);
  EXPECT_TRUE(ListLines().empty());
  BYTE keys[256] = {};
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  Key('Z');
  EXPECT_EQ(ListLines(), (Lines{"1C:\\a.jpg", "2C:\\b.jpg", "3C:\\c.jpg"})) << "saved at once";
  EXPECT_EQ(ViewImages(), (Lines{"No Wallpaper", "C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"}));
  Key('Z');
  EXPECT_TRUE(ListLines().empty()) << "a second Ctrl+Z redoes";
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  SelectOnly({});
  Key('Z');
  EXPECT_TRUE(ListLines().empty()) << "without Ctrl: nothing";
  EXPECT_EQ(boxes_.size(), 3u) << "asked once more, for the delete answered Yes; not for Ctrl+Z";
}

TEST_F(MainWindowTest, ColumnClicksSortBothWaysAndLaterRowsKeepTheOrder) {
  Prepare("sort", "", "2C:\\b.jpg\r\n3C:\\a.jpg\r\n1C:\\c.jpg\r\n");
  Open();
  Notify(LVN_COLUMNCLICK, 1);  // Style, ascending: "" < Center < Stretch < Tile
  EXPECT_EQ(ViewImages(), (Lines{"No Wallpaper", "C:\\c.jpg", "C:\\a.jpg", "C:\\b.jpg"}));
  EXPECT_EQ(ListLines(), (Lines{"1C:\\c.jpg", "3C:\\a.jpg", "2C:\\b.jpg"}));
  Notify(LVN_COLUMNCLICK, 0);  // Image, descending (the direction toggles whatever the column)
  EXPECT_EQ(ViewImages(), (Lines{"No Wallpaper", "C:\\c.jpg", "C:\\b.jpg", "C:\\a.jpg"}));
  EXPECT_EQ(View().SortStyle(), ListSortStyle::Descending);
  Notify(LVN_COLUMNCLICK, 0);  // ascending: No Wallpaper moves to the bottom
  EXPECT_EQ(ViewImages(), (Lines{"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg", "No Wallpaper"}));
  EXPECT_EQ(ListLines(), (Lines{"3C:\\a.jpg", "2C:\\b.jpg", "1C:\\c.jpg"}));
  EXPECT_EQ(View().SortStyle(), ListSortStyle::Ascending);

  chosen_files_ = {"C:\\BB.jpg"};
  Command(kCommandAdd);
  EXPECT_EQ(ViewImages(),
            (Lines{"C:\\a.jpg", "C:\\b.jpg", "C:\\BB.jpg", "C:\\c.jpg", "No Wallpaper"}));
  EXPECT_EQ(View().ItemText(2, 1), "Center");
  EXPECT_EQ(View().ItemText(1, 1), "Tile") << "every row keeps its own style";
  EXPECT_EQ(ListLines(), (Lines{"3C:\\a.jpg", "2C:\\b.jpg", "1C:\\BB.jpg", "1C:\\c.jpg"}));

  // The model and the view still agree after a style change on a sorted list.
  SelectOnly({0});
  Command(kCommandTile);
  EXPECT_EQ(ViewImages(),
            (Lines{"C:\\a.jpg", "C:\\b.jpg", "C:\\BB.jpg", "C:\\c.jpg", "No Wallpaper"}));
  EXPECT_EQ(View().ItemText(0, 1), "Tile");
}

TEST_F(MainWindowTest, MenuEnablingAndCheckingFollowTheSelection) {
  Prepare("menu", "", "3C:\\a.jpg\r\n2C:\\b.jpg\r\n9C:\\c.jpg\r\n");
  Open();
  PopupMenu& menu = *window_->ListMenu();
  const char* captions[] = {
      "Add...\tIns", "Add Directory...",   "Delete\tDelete",      "",    "Style", "Center", "Tile",
      "Stretch",     "Select All\tCtrl+A", "Remove dead entries", "Fit", "Fill"};
  ASSERT_EQ(menu.Count(), 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(menu.Caption(i), captions[i]) << i;
  EXPECT_TRUE(menu.IsSeparator(Items().separator));
  EXPECT_TRUE(menu.IsSubmenu(Items().style));
  for (int i : {Items().center, Items().tile, Items().stretch, Items().fit, Items().fill}) {
    EXPECT_EQ(menu.Parent(i), Items().style) << i;
    EXPECT_TRUE(menu.IsRadioItem(i)) << i;
    EXPECT_FALSE(menu.Checked(i)) << "none checked when built";
  }

  SelectOnly({});
  window_->UpdateListMenu();
  EXPECT_FALSE(menu.Enabled(Items().delete_selected));
  EXPECT_FALSE(menu.Enabled(Items().style));
  EXPECT_TRUE(menu.Enabled(Items().add));
  EXPECT_TRUE(menu.Enabled(Items().remove_dead));

  SelectOnly({1});
  window_->UpdateListMenu();
  EXPECT_TRUE(menu.Enabled(Items().delete_selected));
  EXPECT_TRUE(menu.Enabled(Items().style));
  EXPECT_TRUE(menu.Checked(Items().stretch));

  SelectOnly({3});  // no style: the group stays as it was
  window_->UpdateListMenu();
  EXPECT_TRUE(menu.Checked(Items().stretch));
  EXPECT_TRUE(menu.Enabled(Items().delete_selected));

  SelectOnly({2});
  window_->UpdateListMenu();
  EXPECT_TRUE(menu.Checked(Items().tile));
  EXPECT_FALSE(menu.Checked(Items().stretch)) << "one radio group";

  SelectOnly({0});
  window_->UpdateListMenu();
  EXPECT_FALSE(menu.Enabled(Items().delete_selected)) << "only No Wallpaper";
  EXPECT_FALSE(menu.Enabled(Items().style));

  SelectOnly({0, 2});
  window_->UpdateListMenu();
  EXPECT_TRUE(menu.Enabled(Items().delete_selected));
  EXPECT_TRUE(menu.Enabled(Items().style));
  for (int i : {Items().center, Items().tile, Items().stretch}) EXPECT_FALSE(menu.Checked(i));
}

// Where the menu of this process is open: its window's top-left corner, and it is closed.
struct MenuSeen {
  bool open = false;
  POINT corner = {};
};
MenuSeen menu_seen;

void CALLBACK CloseOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND menu = test::OpenMenuWindow();
  if (menu != nullptr) {
    RECT bounds;
    GetWindowRect(menu, &bounds);
    menu_seen.open = true;
    menu_seen.corner = POINT{bounds.left, bounds.top};
    KillTimer(nullptr, timer);
    EndMenu();
  }
}

TEST_F(MainWindowTest, TheContextMenuOpensWhereTheRequestSays) {
  Prepare("context", "", "3C:\\a.jpg\r\n");
  Open();
  SelectOnly({0});
  window_->UpdateListMenu();
  ASSERT_FALSE(window_->ListMenu()->Enabled(Items().delete_selected));
  SelectOnly({1});  // the menu is prepared again as it opens
  menu_seen = MenuSeen{};
  UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseOpenMenu);
  SendMessageA(ListHandle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(ListHandle()),
               MAKELPARAM(300, 250));
  KillTimer(nullptr, timer);
  ASSERT_TRUE(menu_seen.open);
  EXPECT_EQ(menu_seen.corner.x, 300);
  EXPECT_EQ(menu_seen.corner.y, 250);
  EXPECT_TRUE(window_->ListMenu()->Enabled(Items().delete_selected));
  EXPECT_TRUE(window_->ListMenu()->Checked(Items().stretch));
}

TEST_F(MainWindowTest, DoubleClickAppliesRemovesOrReports) {
  Prepare("double_click");
  const std::string picture = test::Bmp24(4, 4, 3);
  test::WriteBytes(dir_ + "p.bmp", picture);
  std::string broken = test::Bmp24(4, 4, 5);
  broken[18] = 0;  // width 0: the bitmap's check raises
  test::WriteBytes(dir_ + "broken.bmp", broken);
  test::WriteBytes(dir_ + "list.txt",
                   "3" + dir_ + "p.bmp\r\n1C:\\gone.jpg\r\n2" + dir_ + "broken.bmp\r\n");
  Open();

  SelectOnly({1, 2});
  Notify(NM_DBLCLK);
  EXPECT_EQ(test::ReadBytes(dir_ + "vistrel_wlp.bmp"), picture) << "the first selected row";
  EXPECT_EQ(registry_.Value(kDesktopKey, "WallpaperStyle"), "2");
  EXPECT_EQ(registry_.Value(kDesktopKey, "TileWallpaper"), "0");
  EXPECT_EQ(desktop_->wallpapers, Lines{dir_ + "vistrel_wlp.bmp"});
  EXPECT_TRUE(IsWindowVisible(Form())) << "the window stays";

  SelectOnly({0});
  Notify(NM_RDBLCLK);
  EXPECT_EQ(desktop_->Removals(), 1) << "No Wallpaper removes the wallpaper";
  EXPECT_EQ(desktop_->wallpapers, (Lines{dir_ + "vistrel_wlp.bmp", ""})) << "no picture applied";

  SelectOnly({2});
  Notify(NM_DBLCLK);
  SelectOnly({});
  Notify(NM_DBLCLK);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, "File \"C:\\gone.jpg\" not found.");
  EXPECT_EQ(boxes_[0].caption, "Error");
  EXPECT_EQ(boxes_[0].owner, application_->Handle());
  EXPECT_EQ(boxes_[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(boxes_[1].text, "File \"\" not found.") << "nothing selected";

  // A picture its reader rejects: reported, and the window stays open.
  SelectOnly({3});
  Notify(NM_DBLCLK);
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[2].text.rfind("Bitmap width must be > 0 (", 0), 0u) << boxes_[2].text;
  EXPECT_EQ(boxes_[2].caption, "Error");
  EXPECT_EQ(test::ReadBytes(dir_ + "vistrel_wlp.bmp"), picture) << "unchanged";
  Pump(50);
  EXPECT_TRUE(IsWindowVisible(Form()));
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"),
            "3" + dir_ + "p.bmp\r\n1C:\\gone.jpg\r\n2" + dir_ + "broken.bmp\r\n")
      << "applying never rewrites the list";
}

// ---- Names in any language

// Spelled in bytes: the folder "Дмитрий" and pictures that code page 1252 cannot all spell.
const std::string kCyrillicFolder = "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9";
const std::string kTokyoNight = "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C.jpg";
const std::string kUnicodePng = "\xC3\x9Cn\xC3\xAF\x63\xC3\xB8\x64\xC3\xA9.png";
const std::string kSunriseBmp = "\xF0\x9F\x8C\x85 sunrise.bmp";

// A drop in UTF-16, as the shell of today builds it.
HGLOBAL BuildWideDrop(const Lines& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Widen(path) + L'\0';
  names += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return memory;
}

TEST_F(MainWindowTest, NamesInAnyLanguageAreDroppedAddedAppliedAndStoredExactly) {
  Prepare("names");
  const std::string folder = dir_ + kCyrillicFolder;
  ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
  const std::string tokyo = folder + "\\" + kTokyoNight, unicode = folder + "\\" + kUnicodePng,
                    sunrise = folder + "\\" + kSunriseBmp;
  test::WriteBytes(tokyo, test::ReadBytes(test::DataPath("jpeg/libjpeg-turbo/testorig.jpg")));
  test::WriteBytes(unicode, test::ReadBytes(test::DataPath("png/pngsuite/basn2c08.png")));
  const std::string picture = test::Bmp24(4, 3, 7);
  test::WriteBytes(sunrise, picture);
  Open();

  SendMessageW(ListHandle(), WM_DROPFILES, reinterpret_cast<WPARAM>(BuildWideDrop({tokyo})), 0);
  chosen_files_ = {unicode};
  Command(kCommandAdd);
  chosen_folder_ = folder;
  Command(kCommandAddDirectory);
  const Lines rows = {"No Wallpaper", tokyo, unicode, sunrise, tokyo, unicode};
  EXPECT_EQ(ViewImages(), rows) << "bmp, jpg, then png from the folder";
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), std::string("\xEF\xBB\xBF") + "1" + tokyo +
                                                    "\r\n1" + unicode + "\r\n1" + sunrise +
                                                    "\r\n1" + tokyo + "\r\n1" + unicode + "\r\n")
      << "UTF-8 after its mark: the code page cannot hold these names";
  EXPECT_EQ(View().ItemImage(3), 0);

  for (int row : {1, 2, 3}) {
    SelectOnly({row});
    Notify(NM_DBLCLK);
  }
  EXPECT_EQ(boxes_.size(), 0u) << (boxes_.empty() ? "" : boxes_[0].text);
  EXPECT_EQ(desktop_->wallpapers.size(), 3u) << "each applied";
  EXPECT_EQ(test::ReadBytes(dir_ + "vistrel_wlp.bmp"), picture);
}

TEST_F(MainWindowTest, AFolderUnderALongPathIsListedAndItsPictureApplied) {
  Prepare("long_path", "", "");
  std::string folder = dir_;
  while (folder.size() < 300) {
    folder += std::string(50, 'f') + "\\";
    ASSERT_TRUE(CreateDirectoryW(FilePath(folder).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  folder.pop_back();
  const std::string picture = test::Bmp24(3, 5, 9);
  ASSERT_TRUE(ReplaceFileContents(folder + "\\b.bmp", picture));
  Open();
  chosen_folder_ = folder;
  Command(kCommandAddDirectory);
  EXPECT_EQ(ListLines(), Lines{"1" + folder + "\\b.bmp"});
  SelectOnly({1});
  Notify(NM_DBLCLK);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(test::ReadBytes(dir_ + "vistrel_wlp.bmp"), picture);
}

TEST_F(MainWindowTest, AWesternListStaysInTheCodePageByteForByteAfterAnEdit) {
  // "C:\Ünïcødé.png" and "C:\café\ß.jpg" in code page 1252.
  const std::string western = "1C:\\\xDCn\xEF\x63\xF8\x64\xE9.png\r\n2C:\\caf\xE9\\\xDF.jpg\r\n";
  Prepare("western", "", western.c_str());
  Open();
  EXPECT_EQ(View().ItemText(1, 0), "C:\\" + kUnicodePng);
  chosen_files_ = {"C:\\x.bmp"};
  Command(kCommandAdd);
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), western + "1C:\\x.bmp\r\n");
}

// ---- The agent

TEST_F(MainWindowTest, TheAgentButtonFollowsTheAgentWindow) {
  Prepare("agent_button");
  auto agent = std::make_unique<FakeAgent>();
  Open();
  EXPECT_FALSE(window_->AgentButton()->Enabled()) << "checked when the window opens";
  agent.reset();
  EXPECT_TRUE(PumpUntil([this] { return window_->AgentButton()->Enabled(); }, 3000))
      << "the next tick enables it";
  agent = std::make_unique<FakeAgent>();
  EXPECT_TRUE(PumpUntil([this] { return !window_->AgentButton()->Enabled(); }, 3000));
}

TEST_F(MainWindowTest, StartAgentLaunchesFromTheProgramFolderOrReports) {
  Prepare("start_agent");
  // The working folder is another one, as when started from a shortcut or a prompt elsewhere.
  const std::string elsewhere = Backslashes(test::FreshDir("window_start_agent_cwd"));
  test::WriteBytes(elsewhere + "vistrel_agent.exe", "x");
  char previous[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.c_str()));
  Open();

  window_->AgentButton()->Click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Cannot find \"vistrel_agent.exe\".");
  EXPECT_EQ(boxes_[0].caption, "Error");
  EXPECT_EQ(boxes_[0].owner, Form());
  EXPECT_EQ(boxes_[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));

  CreateDirectoryA((dir_ + "vistrel_agent.exe").c_str(), nullptr);
  window_->AgentButton()->Click();
  EXPECT_EQ(boxes_.size(), 2u) << "a folder of that name does not count";
  EXPECT_TRUE(launches_.empty());
  RemoveDirectoryA((dir_ + "vistrel_agent.exe").c_str());

  test::WriteBytes(dir_ + "vistrel_agent.exe", "x");
  window_->AgentButton()->Click();
  EXPECT_EQ(launches_, Lines{dir_ + "vistrel_agent.exe|"}) << "beside the program";
  EXPECT_EQ(boxes_.size(), 2u);

  // Started, but the timer has not disabled the button yet.
  FakeAgent agent;
  window_->AgentButton()->Click();
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[2].text, "Vistrel Agent is already active.");
  EXPECT_EQ(boxes_[2].owner, Form());
  EXPECT_EQ(launches_.size(), 1u);
  SetCurrentDirectoryA(previous);
}

TEST_F(MainWindowTest, OkStoresTheSelectedLineAndTellsTheAgentAfterWriting) {
  std::string seen_by_agent;
  FakeAgent agent(
      [&] { seen_by_agent = Stored("LastIndex") + "," + Stored("DisableOnScreenSaver"); });
  Prepare("last_index", "", "1C:\\a.jpg\r\n1C:\\b.jpg\r\n1C:\\c.jpg\r\n");
  Open();
  SelectOnly({2, 3});  // b first
  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("LastIndex"), "2");
  EXPECT_EQ(ProfileLines(dir_ + "vistrel.ini").back(), "LastIndex=2") << "written last";
  ASSERT_EQ(agent.reloads.size(), 1u);
  EXPECT_EQ(agent.reloads[0], (std::pair<WPARAM, LPARAM>{1, 0}));
  EXPECT_EQ(seen_by_agent, "2,1") << "the settings were written before the message";
  window_.reset();

  for (std::vector<int> selection : {std::vector<int>{0}, std::vector<int>{}}) {
    Prepare("last_index_kept", "LastIndex=7\r\n", "1C:\\a.jpg\r\n1C:\\b.jpg\r\n");
    Open();
    SelectOnly(selection);
    window_->OkButton()->Click();
    ASSERT_TRUE(PumpUntilClosed());
    EXPECT_EQ(Stored("LastIndex"), "7");
    EXPECT_EQ(agent.reloads.back(), (std::pair<WPARAM, LPARAM>{0, 0}));
    window_.reset();
  }
  EXPECT_EQ(agent.reloads.size(), 3u);

  // After sorting, the top row counts as nothing; No Wallpaper counts the file rows above it.
  Prepare("last_index_sorted", "LastIndex=7\r\n", "1C:\\a.jpg\r\n1C:\\b.jpg\r\n");
  Open();
  Notify(LVN_COLUMNCLICK, 0);  // a, b, No Wallpaper
  SelectOnly({2});
  window_->OkButton()->Click();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(Stored("LastIndex"), "2");
}

TEST_F(MainWindowTest, OkReachesTheAgentNotAWindowOfTheSameTitle) {
  HWND namesake = nullptr;
  {
    FakeAgent agent;
    // Newer, so first in the order of windows: a message box or a folder window of that title.
    namesake = CreateWindowExA(0, "STATIC", kAgentTitle, WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(namesake, nullptr);
    EXPECT_EQ(FindAgentWindow(), agent.Handle());
    Prepare("namesake", "", "1C:\\a.jpg\r\n1C:\\b.jpg\r\n");
    Open();
    EXPECT_FALSE(window_->AgentButton()->Enabled()) << "the agent is found";
    SelectOnly({2});
    window_->OkButton()->Click();
    ASSERT_TRUE(PumpUntilClosed());
    ASSERT_EQ(agent.reloads.size(), 1u);
    EXPECT_EQ(agent.reloads[0], (std::pair<WPARAM, LPARAM>{1, 0}));
    window_.reset();
  }

  // Without the agent, the namesake alone is no agent.
  Prepare("namesake_only");
  EXPECT_EQ(FindAgentWindow(), nullptr);
  Open();
  EXPECT_TRUE(window_->AgentButton()->Enabled());
  DestroyWindow(namesake);
}

TEST_F(MainWindowTest, AListHeldWithoutReadSharingIsNeverRewritten) {
  const std::string original = "1C:\\a.jpg\r\n\r\n2C:\\b.jpg\r\n";
  Prepare("list_held", "", original.c_str());
  // A backup or a virus scanner holding the file while the window starts.
  HANDLE held = CreateFileA((dir_ + "list.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Open();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.rfind("Cannot read \"" + dir_ + "list.txt\": ", 0), 0u)
      << boxes_[0].text;
  EXPECT_NE(boxes_[0].text.find("not saved until it can be read"), std::string::npos);
  EXPECT_EQ(boxes_[0].caption, "Error");
  EXPECT_EQ(View().Count(), 1);

  // Edits are refused while it is still held: the dialog does not even open.
  chosen_files_ = {"C:\\new.jpg"};
  Command(kCommandAdd);
  EXPECT_EQ(dialogs_, 0);
  EXPECT_EQ(boxes_.size(), 2u);
  SendMessageA(ListHandle(), WM_DROPFILES, reinterpret_cast<WPARAM>(BuildDrop({"C:\\d.png"})), 0);
  EXPECT_EQ(boxes_.size(), 3u);
  CloseHandle(held);
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), original);

  // Released: the next edit reads it first and keeps every line.
  Command(kCommandAdd);
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(ListLines(), (Lines{"1C:\\a.jpg", "2C:\\b.jpg", "1C:\\new.jpg"}));
  EXPECT_EQ(ViewImages(), (Lines{"No Wallpaper", "C:\\a.jpg", "C:\\b.jpg", "C:\\new.jpg"}));
}

TEST_F(MainWindowTest, AListOrSettingsThatCannotBeWrittenAreReported) {
  Prepare("list_locked", "", "1C:\\a.jpg\r\n");
  Open();
  // Readable by others, but neither replaceable nor writable meanwhile.
  HANDLE held = CreateFileA((dir_ + "list.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  chosen_files_ = {"C:\\new.jpg"};
  Command(kCommandAdd);
  CloseHandle(held);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.rfind("Cannot write \"" + dir_ + "list.txt\": ", 0), 0u)
      << boxes_[0].text;
  EXPECT_NE(boxes_[0].text.find("not saved"), std::string::npos);
  EXPECT_EQ(boxes_[0].caption, "Error");
  EXPECT_EQ(boxes_[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(test::ReadBytes(dir_ + "list.txt"), "1C:\\a.jpg\r\n");

  // OK with a settings file that cannot be written: said so, nothing sent, the window stays.
  FakeAgent agent;
  CreateDirectoryA((dir_ + "vistrel.ini").c_str(), nullptr);
  window_->OkButton()->Click();
  Pump(100);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text.rfind("Cannot write \"" + dir_ + "vistrel.ini\": ", 0), 0u)
      << boxes_[1].text;
  EXPECT_NE(boxes_[1].text.find("The settings were not saved."), std::string::npos);
  EXPECT_TRUE(agent.reloads.empty());
  EXPECT_TRUE(IsWindow(Form()) && IsWindowVisible(Form()));
}

class OutOfMemoryDesktop : public test::FakeDesktop {
 public:
  void ShowBusyCursor(bool busy) override {
    if (busy) throw std::bad_alloc();
  }
};

TEST_F(MainWindowTest, OutOfMemoryDuringADoubleClickIsReportedAndTheWindowStays) {
  Prepare("out_of_memory");
  test::WriteBytes(dir_ + "p.bmp", test::Bmp24(4, 4, 3));
  test::WriteBytes(dir_ + "list.txt", "1" + dir_ + "p.bmp\r\n");
  desktop_ = std::make_unique<OutOfMemoryDesktop>();
  Open();
  quit_seen = false;
  SelectOnly({1});
  Notify(NM_DBLCLK);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption, "Error");
  EXPECT_NE(boxes_[0].text.find("Out of memory"), std::string::npos) << boxes_[0].text;
  Pump(50);
  EXPECT_TRUE(IsWindowVisible(Form()));
  EXPECT_FALSE(quit_seen);
}

// ---- Toolkit pieces

}  // namespace
}  // namespace vistrel::app
