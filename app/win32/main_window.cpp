#include "app/win32/main_window.h"

#include <algorithm>
#include <new>

#include "app/logic/list_editing.h"
#include "app/logic/window_settings.h"
#include "app/logic/window_texts.h"
#include "common/exception.h"
#include "common/list_file.h"
#include "common/shared_names.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_compare.h"
#include "toolkit/application.h"
#include "toolkit/dpi.h"
#include "toolkit/error_box.h"
#include "toolkit/window.h"

namespace vistrel::app {

namespace {

// Places and sizes of the designed window, in pixels at 96 DPI (kDesignDpi); the layout scales
// them to the window's DPI.
constexpr int kDesignWidth = 462;
constexpr int kDesignHeight = 400;
constexpr int kPanelHeight = 190;
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 22;
constexpr int kIntervalBoxHeight = 21;
constexpr int kIntervalBoxDropDown = 200;
// Rows of the list that stay in view at the least height.
constexpr int kMinimumListHeight = 60;
constexpr char kMainIcon[] = "MAINICON";
constexpr char kListIcons[] = "FORM1_IMAGELIST2";
constexpr COLORREF kListIconsMask = RGB(255, 255, 255);
constexpr int kAgentCheckPeriodMs = 1000;
constexpr int kRadioGroupStyles = 1;
constexpr int kRememberLastTop = 50;
constexpr int kStartWithWindowsLeft = 192;
constexpr int kStartWithWindowsTop = 84;
// LB_DIR's attribute value for plain files.
constexpr UINT kPlainFiles = 0;

TopLevelWindowArgs FormArgs() {
  TopLevelWindowArgs args;
  args.caption = kMainCaptionBuilding;
  args.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  // Holds controls, so the message loop gives it the dialog keys; and the taskbar button (with
  // its thumbnail) is this window's own while it shows.
  args.ex_style = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
  args.visible = false;
  return args;
}

// The caption with the Alt key marked at the first such letter.
std::string WithMnemonic(const char* caption, char key) {
  std::string text = caption;
  const std::size_t at = text.find(key);
  if (at != std::string::npos) text.insert(at, "&");
  return text;
}

struct Extent {
  int x, y;
};

Extent SizeOf(const Control& control) {
  const RECT r = control.Bounds();
  return {static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)};
}

// Moves a control that sizes itself; returns its right and bottom edges.
Extent Place(Control& control, int left, int top) {
  const Extent size = SizeOf(control);
  control.SetBounds(left, top, size.x, size.y);
  return {left + size.x, top + size.y};
}

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM param) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info))
    reinterpret_cast<std::vector<ScreenRect>*>(param)->push_back(
        {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom});
  return TRUE;
}

// Every monitor's work area (the screen without the taskbar and other docked bars).
std::vector<ScreenRect> WorkAreas() {
  std::vector<ScreenRect> areas;
  EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
  return areas;
}

using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

class Win32AgentLink : public AgentLink {
 public:
  HWND FindAgent() override { return FindAgentWindow(); }
  void Send(HWND agent, UINT message, WPARAM wparam, LPARAM lparam) override {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(agent, message, wparam, lparam, SMTO_ABORTIFHUNG, kAgentReloadTimeoutMs,
                        &result);
  }
};

}  // namespace

HWND FindAgentWindow() {
  return FindWindowA(kWindowClassName, kAgentTitle);
}

AgentLink& SystemAgentLink() {
  static Win32AgentLink link;
  return link;
}

MainWindow::MainWindow(ApplicationWindow& application, MainWindowOptions options)
    : application_(application),
      services_(options.services),
      argument_(std::move(options.argument)),
      other_arguments_(std::move(options.other_arguments)),
      directory_(std::move(options.directory)),
      program_directory_(options.program_directory.empty() ? directory_
                                                           : std::move(options.program_directory)),
      quiet_(options.quiet),
      apply_lock_(directory_),
      settings_(directory_ + kSettingsFileName),
      list_(list_host_),
      form_(FormArgs()) {
  try {
    Construct();
  } catch (...) {
    // A constructor that throws runs no destructor, and the form's handle would outlive the
    // members its destroy message reaches.
    TearDown();
    throw;
  }
}

void MainWindow::Construct() {
  SetMainWindow(&form_);
  application_.Own(form_);
  application_.SetMainForm(&form_);
  // The form frees what it made with its handle; the references to it go first.
  form_.OnDestroy = [this] { parts_ = Parts(); };
  Build();

  if (!argument_.empty()) {
    // The window is never shown with an argument. The close requests are posted after the
    // application, not before: a box it shows runs the message loop, and a close waiting there
    // would end the program under the box before it could be read.
    ApplyArgument();
    application_.Close();
    form_.Close();
  } else {
    LoadWindowState();
  }
}

ApplierServices MainWindow::Applier() {
  return {*services_.desktop, *services_.registry, *services_.message_boxes, apply_lock_, false};
}

void MainWindow::ApplyArgument() {
  ApplierServices applier = Applier();
  applier.quiet = quiet_;
  try {
    // The agent passes a picture for each monitor; every other way of covering the desktop takes
    // the first.
    MonitorChoice choice;
    choice.mode =
        MonitorModeFromStored(settings_.ReadInteger(keys::kMonitorMode, defaults::kMonitorMode));
    choice.portrait_on_portrait =
        settings_.ReadBool(keys::kPortraitOnPortrait, defaults::kPortraitOnPortrait);
    std::vector<DealtPicture> pictures{{argument_[0], argument_.substr(1)}};
    if (choice.mode == MonitorMode::kEachMonitor) {
      for (const std::string& other : other_arguments_)
        if (!other.empty()) pictures.push_back({other[0], other.substr(1)});
    }
    applied_ = ApplyPictures(pictures, choice, directory_ + kWallpaperFileName, applier);
  } catch (const Exception&) {
    // Only a user's apply lets the reader's refusal through: it gets the program's top-level
    // box, and the program still ends with the code that says what happened.
    ShowTopLevelReport(std::current_exception());
    applied_ = ApplyResult::kApplyExitCannotShow;
  } catch (const std::bad_alloc&) {
    ShowTopLevelReport(std::current_exception());
    applied_ = ApplyResult::kApplyExitCannotShow;
  }
}

MainWindow::~MainWindow() {
  TearDown();
}

void MainWindow::TearDown() {
  // The handle goes first, with the form's parts, while the members its messages reach still
  // exist.
  form_.Destroy();
  application_.SetMainForm(nullptr);
  // Its icons are freed with this object.
  application_.Send(WM_SETICON, ICON_BIG, 0);
  application_.Send(WM_SETICON, ICON_SMALL, 0);
}

// ---- Building

void MainWindow::Build() {
  dpi_ = WindowDpi(form_.Handle());
  SetWindowPos(form_.Handle(), nullptr, 0, 0, ScaleToDpi(kDesignWidth, dpi_),
               ScaleToDpi(kDesignHeight, dpi_), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The system's message font at the window's DPI, as the dialogs of Windows use.
  parts_.font = &form_.Make<Font>(MessageFontForDpi(dpi_));
  BuildListMenu();
  parts_.open_dialog = &form_.Make<OpenFileDialog>(form_);
  parts_.open_dialog->filter = kOpenFilter;
  parts_.open_dialog->flags = OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                              OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOVALIDATE |
                              OFN_EXPLORER | OFN_LONGNAMES | OFN_ENABLESIZING;
  parts_.open_dialog->buffer_size = kOpenDialogBufferSize;
  parts_.folder_dialog = &form_.Make<FolderDialog>(form_);
  parts_.folder_dialog->flags = BIF_RETURNONLYFSDIRS;
  const int icon = SmallIconSize(dpi_);
  parts_.images = &form_.Make<ImageList>(icon, icon);
  parts_.images->AddBitmapResource(kListIcons, kListIconsMask);
  BuildList();
  BuildSettingsPanel();
  ControlArgs scratch{"", 24, 37, 116, 60};
  scratch.visible = false;
  parts_.folder_scratch_list = &form_.Make<ListBox>(form_, scratch);
  Control::SetFontOfChildren(form_.Handle(), parts_.font->Handle());
  parts_.interval_box->SetSelectedIndex(0);

  Control::ReflectNotificationsOf(form_);
  EnableDialogKeys(form_);
  form_.AddMessageHook([this](WindowMessage& message) {
    switch (message.message) {
      case WM_SIZE: Layout(); return false;
      case WM_DPICHANGED: {
        // Moved to a monitor of another DPI, or its scaling changed: lay out anew at the new
        // DPI and take the place Windows suggests for it.
        const RECT suggested = *reinterpret_cast<const RECT*>(message.lparam);
        ApplyDpi(LOWORD(message.wparam));
        SetWindowPos(form_.Handle(), nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        message.result = 0;
        return true;
      }
      case WM_GETMINMAXINFO: {
        const SIZE minimum = MinimumSize();
        auto* info = reinterpret_cast<MINMAXINFO*>(message.lparam);
        info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, minimum.cx);
        info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, minimum.cy);
        return false;
      }
      case WM_SYSCOMMAND:
        // The main window minimizes the whole program to its taskbar entry.
        if ((message.wparam & 0xFFF0) != SC_MINIMIZE) return false;
        application_.Minimize();
        return true;
      case WM_ACTIVATE:
        if (LOWORD(message.wparam) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (focus && IsChild(form_.Handle(), focus)) last_focus_ = focus;
          return false;
        }
        // Back to the control that had the focus, as a dialog does.
        if (last_focus_ && IsWindow(last_focus_) && IsChild(form_.Handle(), last_focus_))
          SetFocus(last_focus_);
        else if (parts_.wallpaper_view)
          parts_.wallpaper_view->Focus();
        return true;
      default: return false;
    }
  });
  LoadIcons();
  LayoutPanel();
  Layout();

  parts_.agent_check_timer =
      &form_.Make<Timer>(form_, kAgentCheckPeriodMs, [this] { CheckAgent(); });
  parts_.agent_check_timer->SetEnabled(true);
}

void MainWindow::BuildListMenu() {
  parts_.list_menu = &form_.Make<PopupMenu>(form_);
  PopupMenu& menu = *parts_.list_menu;
  ListMenuItems& items = menu_items_;
  auto add_style = [&](const char* word, UINT command) {
    const std::string text = word;
    return menu.AddItem({text, [this, text] { SetSelectedStyle(text); }, command, ShortCut{},
                         kRadioGroupStyles, items.style});
  };
  items.add = menu.AddItem({kMenuAdd, [this] { AddFiles(); }, kCommandAdd, ShortCut{VK_INSERT}});
  items.add_directory =
      menu.AddItem({kMenuAddDirectory, [this] { AddDirectory(); }, kCommandAddDirectory});
  items.delete_selected = menu.AddItem(
      {kMenuDelete, [this] { DeleteSelected(); }, kCommandDelete, ShortCut{VK_DELETE}});
  items.separator = menu.AddSeparator();
  items.style = menu.AddSubmenu(kMenuStyle);
  items.center = add_style(kStyleTextCenter, kCommandCenter);
  items.tile = add_style(kStyleTextTile, kCommandTile);
  items.stretch = add_style(kStyleTextStretch, kCommandStretch);
  items.select_all = menu.AddItem(
      {kMenuSelectAll, [this] { SelectAll(); }, kCommandSelectAll, ShortCut{'A', true}});
  items.remove_dead =
      menu.AddItem({kMenuRemoveDead, [this] { RemoveDeadEntries(); }, kCommandRemoveDead});
  // Added after the others, so the first ten keep their places.
  items.fit = add_style(kStyleTextFit, kCommandFit);
  items.fill = add_style(kStyleTextFill, kCommandFill);
  menu.OnPopup = [this] { UpdateListMenu(); };
}

void MainWindow::BuildList() {
  ControlArgs args;
  args.multi_select = true;
  args.show_selection_always = true;
  args.row_select = true;
  args.info_tips = true;
  args.owner_data = true;
  parts_.wallpaper_view = &form_.Make<ListView>(form_, args);
  ListView& view = *parts_.wallpaper_view;
  view.AddColumn(kColumnImage, defaults::kColumnWidth0);
  view.AddColumn(kColumnStyle, defaults::kColumnWidth1);
  view.SetSmallImages(*parts_.images);
  view.SetAcceptFiles(true);
  view.OnDoubleClick = [this] { ApplySelected(); };
  view.OnColumnClick = [this](int column) { SortByColumn(column); };
  view.OnDropFiles = [this](const std::vector<std::string>& paths) { DropFiles(paths); };
  view.OnContextMenu = [this](POINT at) {
    if (parts_.list_menu) parts_.list_menu->Popup(at.x, at.y, TPM_LEFTALIGN | TPM_RIGHTBUTTON);
  };
  view.OnKeyDown = [this](WPARAM key) { return OnListKey(key); };
  view.OnGetItem = [this](int item, int column, std::string& text, int& image) {
    const std::vector<ListRow>& rows = list_.Rows();
    if (item < 0 || static_cast<std::size_t>(item) >= rows.size()) return;
    const ListRow& row = rows[static_cast<std::size_t>(item)];
    text = column == 0 ? row.image : row.style;
    image = row.icon;
  };
}

void MainWindow::BuildSettingsPanel() {
  // The design's places (at 96 DPI) until LayoutPanel places them at the window's DPI. Made in
  // reading order, which is the order Tab visits them in and in which a screen reader takes
  // each box's name from the label made just before it.
  Panel& panel = form_.Make<Panel>(form_, ControlArgs{"", 0, 0, kDesignWidth, kPanelHeight});
  parts_.settings_panel = &panel;

  GroupBox& order = form_.Make<GroupBox>(panel, ControlArgs{kWallpaperGroup, 8, 8, 169, 70});
  parts_.wallpaper_group = &order;
  ControlArgs sequential{WithMnemonic(kSequentialRadio, kSequentialKey), 8, 16};
  sequential.first_of_group = true;
  parts_.sequential_radio = &form_.Make<RadioButton>(order, sequential);
  parts_.random_radio =
      &form_.Make<RadioButton>(order, ControlArgs{WithMnemonic(kRandomRadio, kRandomKey), 88, 16});
  // A second row for the third order; "Remember last wallpaper" moves down a little for it.
  parts_.shuffle_radio =
      &form_.Make<RadioButton>(order, ControlArgs{WithMnemonic(kShuffleRadio, kShuffleKey), 8, 33});
  parts_.sequential_radio->SetChecked(true);
  parts_.remember_last_check = &form_.Make<CheckBox>(
      order, ControlArgs{WithMnemonic(kRememberLastCheck, kRememberLastKey), 9, kRememberLastTop});

  GroupBox& other = form_.Make<GroupBox>(panel, ControlArgs{kOtherGroup, 184, 8, 217, 70});
  parts_.other_group = &other;
  parts_.show_baloon_check = &form_.Make<CheckBox>(
      other, ControlArgs{WithMnemonic(kShowBaloonCheck, kShowBaloonKey), 8, 16});
  parts_.disable_check = &form_.Make<CheckBox>(
      other,
      ControlArgs{WithMnemonic(kDisableOnScreenSaverCheck, kDisableOnScreenSaverKey), 8, 40});

  GroupBox& timer = form_.Make<GroupBox>(panel, ControlArgs{kTimerGroup, 8, 80, 169, 49});
  parts_.timer_group = &timer;
  parts_.interval_label =
      &form_.Make<Label>(timer, ControlArgs{WithMnemonic(kIntervalLabel, kIntervalKey), 8, 20});
  ControlArgs interval{"", 64, 17, 49, kIntervalBoxHeight};
  interval.drop_down_height = kIntervalBoxDropDown;
  parts_.interval_box = &form_.Make<ComboBox>(timer, interval);
  for (const char* item : kIntervalItems) parts_.interval_box->AddItem(item);
  parts_.minutes_label = &form_.Make<Label>(timer, ControlArgs{kMinutesLabel, 120, 20});

  // Under the "Other:" group, above the buttons, where the panel has room for one line.
  parts_.start_with_windows_check = &form_.Make<CheckBox>(
      panel, ControlArgs{WithMnemonic(kStartWithWindowsCheck, kStartWithWindowsKey),
                         kStartWithWindowsLeft, kStartWithWindowsTop});

  parts_.agent_button = &form_.Make<Button>(
      panel,
      ControlArgs{WithMnemonic(kAgentButton, kAgentKey), 184, 107, kButtonWidth, kButtonHeight});
  parts_.agent_button->OnClick = [this] { StartAgent(); };

  ControlArgs cancel{kCancelButton, 265, 107, kButtonWidth, kButtonHeight};
  cancel.is_cancel = true;
  parts_.cancel_button = &form_.Make<Button>(panel, cancel);
  parts_.cancel_button->OnClick = [this] { form_.Close(); };

  ControlArgs ok{kOkButton, 337, 107, kButtonWidth, kButtonHeight};
  ok.is_default = true;
  parts_.ok_button = &form_.Make<Button>(panel, ok);
  parts_.ok_button->OnClick = [this] { SaveSettings(); };

  // Below the rest, where the panel grows by two lines for them.
  parts_.monitors_label =
      &form_.Make<Label>(panel, ControlArgs{WithMnemonic(kMonitorsLabel, kMonitorsKey), 8, 141});
  ControlArgs monitors{"", 64, 138, 180, kIntervalBoxHeight};
  monitors.choices_only = true;
  monitors.drop_down_height = kIntervalBoxDropDown;
  parts_.monitors_box = &form_.Make<ComboBox>(panel, monitors);
  for (const char* item : kMonitorItems) parts_.monitors_box->AddItem(item);
  parts_.portrait_check = &form_.Make<CheckBox>(
      panel, ControlArgs{WithMnemonic(kPortraitCheck, kPortraitKey), 64, 163});
  parts_.monitors_box->OnSelect = [this] { ShowMonitorChoice(PanelMonitorChoice()); };
  ShowMonitorChoice(MonitorChoice());
}

MonitorChoice MainWindow::PanelMonitorChoice() const {
  MonitorChoice choice;
  if (!parts_.monitors_box || !parts_.portrait_check) return choice;
  choice.mode = MonitorModeFromStored(parts_.monitors_box->SelectedIndex());
  choice.portrait_on_portrait = parts_.portrait_check->Checked();
  return choice;
}

void MainWindow::ShowMonitorChoice(MonitorChoice choice) {
  if (!parts_.monitors_box || !parts_.portrait_check) return;
  parts_.monitors_box->SetSelectedIndex(static_cast<int>(choice.mode));
  parts_.portrait_check->SetChecked(choice.portrait_on_portrait);
  // The option only deals pictures; kept as it is while it means nothing.
  parts_.portrait_check->SetEnabled(choice.mode == MonitorMode::kEachMonitor);
}

void MainWindow::LayoutPanel() {
  Parts& p = parts_;
  if (!p.settings_panel || !p.ok_button) return;
  const int dpi = dpi_;
  auto s = [dpi](int design) { return ScaleToDpi(design, dpi); };

  // "Wallpaper:": two rows of orders, then "Remember last wallpaper". A row is never closer to
  // the one above than that one's height, and a control never closer to its left neighbour than
  // a gap.
  const int gap = s(4);
  const Extent sequential = Place(*p.sequential_radio, s(8), s(16));
  const Extent random = Place(*p.random_radio, std::max(s(88), sequential.x + gap), s(16));
  const Extent shuffle =
      Place(*p.shuffle_radio, s(8), std::max(s(33), std::max(sequential.y, random.y)));
  const Extent remember =
      Place(*p.remember_last_check, s(9), std::max(s(kRememberLastTop), shuffle.y));
  const int wallpaper_width = std::max({random.x, shuffle.x, remember.x}) + s(8);

  // "Other:": its two check boxes.
  const Extent baloon = Place(*p.show_baloon_check, s(8), s(16));
  const Extent disable = Place(*p.disable_check, s(8), std::max(s(40), baloon.y + s(4)));
  const int other_needed = std::max(baloon.x, disable.x) + s(8);
  const int groups_height = std::max({s(70), remember.y + s(3), disable.y + s(3)});

  // "Timer:": the label, the box and "min." on one line, the labels centred on the box.
  ComboBox& box = *p.interval_box;
  const Extent label = SizeOf(*p.interval_label);
  const int box_height = std::max(s(kIntervalBoxHeight), label.y + s(8));
  const int box_left = std::max(s(64), s(8) + label.x + gap);
  box.SetBounds(box_left, s(17), s(49), box_height + s(kIntervalBoxDropDown));
  box.SetClosedHeight(box_height);
  // As designed, 3 pixels below the box's top, and lower by half of what the box grew.
  const int label_top = s(17) + s(3) + (box_height - s(kIntervalBoxHeight)) / 2;
  Place(*p.interval_label, s(8), label_top);
  const Extent minutes_end =
      Place(*p.minutes_label, std::max(s(120), box_left + s(49) + s(7)), label_top);
  const int timer_width = minutes_end.x + s(8);
  const int timer_height = std::max(s(49), s(17) + box_height + s(11));

  // The left column's groups share one width; the right column starts beside it.
  const int left_width = std::max({s(169), wallpaper_width, timer_width});
  p.wallpaper_group->SetBounds(s(8), s(8), left_width, groups_height);
  const int timer_top = s(8) + groups_height + s(2);
  p.timer_group->SetBounds(s(8), timer_top, left_width, timer_height);

  // Buttons of one size that fits every caption; OK ends at the "Other:" group's right edge.
  Extent button = {s(kButtonWidth), s(kButtonHeight)};
  for (Button* b : {p.agent_button, p.cancel_button, p.ok_button}) {
    const SIZE ideal = b->IdealSize();
    button.x = std::max(button.x, static_cast<int>(ideal.cx));
    button.y = std::max(button.y, static_cast<int>(ideal.cy));
  }
  const int other_left = s(8) + left_width + s(7);
  const int buttons_width = 3 * button.x + s(17) + s(8);
  const int other_width = std::max({s(217), other_needed, buttons_width});
  p.other_group->SetBounds(other_left, s(8), other_width, groups_height);
  const Extent start = Place(*p.start_with_windows_check, other_left + s(8),
                             std::max(s(kStartWithWindowsTop), s(8) + groups_height + s(6)));
  const int buttons_top = std::max(s(107), start.y + s(6));
  const int other_right = other_left + other_width;
  p.ok_button->SetBounds(other_right - button.x, buttons_top, button.x, button.y);
  p.cancel_button->SetBounds(other_right - 2 * button.x - s(8), buttons_top, button.x, button.y);
  p.agent_button->SetBounds(other_left, buttons_top, button.x, button.y);

  // "Monitors:": the label and the box on a line of their own, the option under the box.
  const int monitors_top = std::max(timer_top + timer_height, buttons_top + button.y) + s(6);
  ComboBox& monitors = *p.monitors_box;
  const Extent monitors_label = SizeOf(*p.monitors_label);
  const int monitors_left = std::max(s(64), s(8) + monitors_label.x + gap);
  // Room for the arrow and the frame beside the longest item.
  const int monitors_width =
      std::max(s(180), monitors.WidestItemWidth() + SystemMetricForDpi(SM_CXVSCROLL, dpi) + s(12));
  monitors.SetBounds(monitors_left, monitors_top, monitors_width,
                     box_height + s(kIntervalBoxDropDown));
  monitors.SetClosedHeight(box_height);
  Place(*p.monitors_label, s(8), monitors_top + s(3) + (box_height - s(kIntervalBoxHeight)) / 2);
  const Extent portrait = Place(*p.portrait_check, monitors_left, monitors_top + box_height + s(6));

  panel_height_ = std::max({s(kPanelHeight), timer_top + timer_height + s(9),
                            buttons_top + button.y + s(9), portrait.y + s(9)});
  panel_content_width_ = std::max({other_right, monitors_left + monitors_width, portrait.x}) + s(4);
}

void MainWindow::Layout() {
  if (!parts_.wallpaper_view || !parts_.settings_panel) return;
  RECT client = {};
  GetClientRect(form_.Handle(), &client);
  const int width = client.right;
  const int panel = panel_height_ > 0 ? panel_height_ : ScaleToDpi(kPanelHeight, dpi_);
  const int list_height = client.bottom > panel ? client.bottom - panel : 0;
  parts_.wallpaper_view->SetBounds(0, 0, width, list_height);
  parts_.settings_panel->SetBounds(0, list_height, width, panel);
}

SIZE MainWindow::MinimumSize() const {
  const LONG_PTR style = GetWindowLongPtrA(form_.Handle(), GWL_STYLE);
  const LONG_PTR ex_style = GetWindowLongPtrA(form_.Handle(), GWL_EXSTYLE);
  const SIZE needed =
      FrameSizeForClient(panel_content_width_, panel_height_ + ScaleToDpi(kMinimumListHeight, dpi_),
                         static_cast<DWORD>(style), static_cast<DWORD>(ex_style), dpi_);
  return {std::max<LONG>(ScaleToDpi(kMinimumWidth, dpi_), needed.cx),
          std::max<LONG>(ScaleToDpi(kMinimumHeight, dpi_), needed.cy)};
}

void MainWindow::LoadIcons() {
  const HINSTANCE module = GetModuleHandleA(nullptr);
  UniqueIcon big(LoadIconAtSize(module, kMainIcon, LargeIconSize(dpi_)));
  UniqueIcon small(LoadIconAtSize(module, kMainIcon, SmallIconSize(dpi_)));
  // The caption, Alt+Tab and the taskbar button (the window's own, or the application
  // window's while the program is minimized).
  for (HWND window : {form_.Handle(), application_.Handle()}) {
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
  }
  // The windows no longer show the old ones.
  big_icon_ = std::move(big);
  small_icon_ = std::move(small);
}

void MainWindow::ApplyDpi(int dpi) {
  if (!parts_.font || dpi == dpi_) return;
  const int old = dpi_;
  dpi_ = dpi;
  Font font(MessageFontForDpi(dpi));
  Control::SetFontOfChildren(form_.Handle(), font.Handle());
  // Every control uses the new font now; the old one can go.
  *parts_.font = std::move(font);
  if (parts_.images && parts_.wallpaper_view) {
    const int icon = SmallIconSize(dpi);
    parts_.images->SetImageSize(icon, icon);
    parts_.images->AddBitmapResource(kListIcons, kListIconsMask);
    parts_.wallpaper_view->SetSmallImages(*parts_.images);
    for (int column = 0; column < 2; ++column)
      parts_.wallpaper_view->SetColumnWidth(
          column, MulDiv(parts_.wallpaper_view->ColumnWidth(column), dpi, old));
  }
  LoadIcons();
  LayoutPanel();
  Layout();
}

// ---- Settings

void MainWindow::LoadWindowState() {
  CheckAgent();
  // The sizes are stored at 96 DPI and scaled to the DPI of the monitor the window opens on: the
  // primary one's (the system's) for the centred default, else the one at the stored place.
  const int screen_width = GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = GetSystemMetrics(SM_CYSCREEN);
  const int system_dpi = SystemDpi();
  WindowSettings v = LoadWindowSettings(settings_, screen_width, screen_height, system_dpi);
  const int place_dpi =
      DpiAt(RECT{v.left, v.top, v.left + std::max(v.width, 1), v.top + std::max(v.height, 1)});
  if (place_dpi != system_dpi)
    v = LoadWindowSettings(settings_, screen_width, screen_height, place_dpi);
  ApplyDpi(place_dpi);
  if (v.start_hidden) application_.Send(WM_SYSCOMMAND, SC_MINIMIZE);
  if (v.random || v.shuffle) {
    parts_.sequential_radio->SetChecked(false);
    (v.shuffle ? parts_.shuffle_radio : parts_.random_radio)->SetChecked(true);
  }
  parts_.interval_box->SetText(v.interval);
  // Windows's own list of programs to start is where this lives, not the settings file.
  std::string run_command;
  parts_.start_with_windows_check->SetChecked(
      services_.registry->ReadText(kRunKey, kRunValueName, run_command) &&
      CompareTextIgnoreCase(run_command, AgentRunCommand()) == 0);
  ApplyOpacity(v.opacity);
  // A hand-edited size or a monitor that has gone since must not open the window out of reach.
  const SIZE minimum = MinimumSize();
  const ScreenRect place =
      PlaceOnWorkArea(v.left, v.top, v.width, v.height, WorkAreas(), minimum.cx, minimum.cy);
  SetWindowPos(form_.Handle(), nullptr, 0, 0, place.right - place.left, place.bottom - place.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  form_.MoveTo(place.left, place.top);
  // A hidden window that moved to another monitor is not told of its new DPI.
  ApplyDpi(WindowDpi(form_.Handle()));
  parts_.wallpaper_view->SetColumnWidth(0, v.column_width0);
  parts_.wallpaper_view->SetColumnWidth(1, v.column_width1);
  application_.ShowOwned(form_);
  application_.ShowEntry();
  // Focus rectangles and Alt underlines as the system's setting and the last input say.
  form_.Send(WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0));
  parts_.remember_last_check->SetChecked(v.remember_last);
  parts_.show_baloon_check->SetChecked(v.show_baloon);
  parts_.disable_check->SetChecked(v.disable_on_screensaver);
  ShowMonitorChoice(MonitorChoice{v.monitor_mode, v.portrait_on_portrait});
  list_path_ = directory_ + kListFileName;
  form_.SetCaption(kMainCaptionOpen + list_path_ + kMainCaptionClose);
  application_.SetCaption(kApplicationCaption);
  const bool read = list_.Load(list_path_);
  ShowRows();
  if (!read) ShowListNotRead();
}

void MainWindow::ApplyOpacity(int opacity) {
  if (opacity == opacity_) return;
  opacity_ = opacity;
  FARPROC found = GetProcAddress(GetModuleHandleA("User32"), "SetLayeredWindowAttributes");
  if (!found) return;
  // Through the generic function type, which converts to any other without a warning.
  auto set_layered =
      reinterpret_cast<SetLayeredWindowAttributesFn>(reinterpret_cast<void (*)()>(found));
  const HWND window = form_.Handle();
  LONG_PTR extended = GetWindowLongPtrA(window, GWL_EXSTYLE);
  if (IsOpaque(opacity)) {
    SetWindowLongPtrA(window, GWL_EXSTYLE, extended & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    return;
  }
  SetWindowLongPtrA(window, GWL_EXSTYLE, extended | WS_EX_LAYERED);
  set_layered(window, 0, static_cast<BYTE>(OpacityAlpha(opacity)), LWA_ALPHA);
}

void MainWindow::SaveSettings() {
  if (argument_.empty()) {
    // The agent would count "0.5" or "abc" as its default without a word.
    if (!IsValidInterval(parts_.interval_box->Text())) {
      services_.message_boxes->Show(form_.Handle(), kIntervalRefused, kWarningCaption,
                                    MB_OK | MB_ICONWARNING);
      parts_.interval_box->Focus();
      return;
    }
    ReadSelection();
    WindowSettings v;
    const RECT bounds = form_.Bounds();
    v.left = bounds.left;
    v.top = bounds.top;
    v.width = bounds.right - bounds.left;
    v.height = bounds.bottom - bounds.top;
    v.column_width0 = parts_.wallpaper_view->ColumnWidth(0);
    v.column_width1 = parts_.wallpaper_view->ColumnWidth(1);
    v.start_hidden = !form_.IsVisible();
    v.opacity = opacity_;
    v.interval = parts_.interval_box->Text();
    v.remember_last = parts_.remember_last_check->Checked();
    v.show_baloon = parts_.show_baloon_check->Checked();
    v.random = parts_.random_radio->Checked();
    v.shuffle = parts_.shuffle_radio->Checked();
    v.disable_on_screensaver = parts_.disable_check->Checked();
    const MonitorChoice monitors = PanelMonitorChoice();
    v.monitor_mode = monitors.mode;
    v.portrait_on_portrait = monitors.portrait_on_portrait;
    const int last_index = list_.LastIndexForSelection();
    if (!SaveWindowSettings(settings_, v, last_index, dpi_)) {
      // The window stays, so the user can try again or leave with Cancel.
      services_.message_boxes->Show(
          form_.Handle(),
          CannotWriteText(settings_.Path(), LastFileErrorText()) + kSettingsNotSaved, kErrorCaption,
          MB_OK | MB_ICONERROR);
      return;
    }
    if (HWND agent = services_.agent_link->FindAgent())
      services_.agent_link->Send(agent, kAgentReloadMessage,
                                 last_index >= 0 ? kReloadReadsLastIndex : kReloadKeepsLastIndex,
                                 0);
    if (!SaveStartWithWindows()) return;
  }
  form_.Close();
}

std::string MainWindow::AgentRunCommand() const {
  return "\"" + ResolveBesideProgram(kAgentProgram, program_directory_) + "\"";
}

bool MainWindow::SaveStartWithWindows() {
  if (!parts_.start_with_windows_check) return true;
  std::string stored;
  const bool exists = services_.registry->ReadText(kRunKey, kRunValueName, stored);
  const std::string ours = AgentRunCommand();
  const bool names_ours = exists && CompareTextIgnoreCase(stored, ours) == 0;
  std::string failure;
  if (parts_.start_with_windows_check->Checked()) {
    if (!names_ours)
      failure = services_.registry->WriteText(kRunKey, kRunValueName, ours, MissingKey::Create);
  } else if (names_ours) {
    // A value that names another copy's agent is that copy's to remove.
    failure = services_.registry->DeleteValue(kRunKey, kRunValueName);
  }
  if (failure.empty()) return true;
  services_.message_boxes->Show(
      form_.Handle(),
      kCannotWriteRunBefore + std::string(kRunKey) + "): " + failure + kOtherSettingsSaved,
      kErrorCaption, MB_OK | MB_ICONERROR);
  return false;
}

// ---- Agent

void MainWindow::CheckAgent() {
  if (parts_.agent_button)
    parts_.agent_button->SetEnabled(services_.agent_link->FindAgent() == nullptr);
}

void MainWindow::StartAgent() {
  if (services_.agent_link->FindAgent()) {
    services_.message_boxes->Show(form_.Handle(), kAgentAlreadyActive, kErrorCaption,
                                  MB_OK | MB_ICONERROR);
    return;
  }
  // Beside this program: started from a shortcut or a prompt elsewhere, the working folder is
  // not the program's.
  const std::string agent = ResolveBesideProgram(kAgentProgram, program_directory_);
  if (FileExists(agent)) {
    services_.launcher->Launch(agent, std::string());
    return;
  }
  services_.message_boxes->Show(form_.Handle(), kCannotFindAgent, kErrorCaption,
                                MB_OK | MB_ICONERROR);
}

// ---- The list

void MainWindow::ShowRows() {
  if (!parts_.wallpaper_view) return;
  ListView& view = *parts_.wallpaper_view;
  const std::vector<ListRow>& rows = list_.Rows();
  const int count = static_cast<int>(rows.size());
  view.SetRedraw(false);
  // The control asks the model for what it shows; only the count and the selection are its own.
  view.SetItemCount(count);
  // All or none in one message (Select All, a fresh list); otherwise row by row.
  const bool all =
      std::all_of(rows.begin(), rows.end(), [](const ListRow& row) { return row.selected; });
  view.SetSelected(-1, all);
  if (!all)
    for (int i = 0; i < count; ++i)
      if (rows[static_cast<std::size_t>(i)].selected) view.SetSelected(i, true);
  view.SetRedraw(true);
}

void MainWindow::ReadSelection() {
  if (!parts_.wallpaper_view) return;
  const std::size_t count = list_.Rows().size();
  for (std::size_t i = 0; i < count; ++i) list_.Select(i, false);
  for (int item : parts_.wallpaper_view->SelectedItems())
    if (static_cast<std::size_t>(item) < count) list_.Select(static_cast<std::size_t>(item), true);
}

void MainWindow::SaveList() {
  // A list that was not read is never replaced: its entries would be lost.
  if (!list_.IsRead()) return;
  if (list_.Save(list_path_)) return;
  services_.message_boxes->Show(form_.Handle(),
                                CannotWriteText(list_path_, LastFileErrorText()) + kListNotSaved,
                                kErrorCaption, MB_OK | MB_ICONERROR);
}

bool MainWindow::EnsureListRead() {
  if (list_.IsRead()) return true;
  if (list_.Load(list_path_)) {
    ShowRows();
    return true;
  }
  ShowListNotRead();
  return false;
}

void MainWindow::ShowListNotRead() {
  services_.message_boxes->Show(
      form_.Handle(),
      kCannotReadListBefore + list_path_ + "\": " + LastFileErrorText() + kCannotReadListAfter,
      kErrorCaption, MB_OK | MB_ICONERROR);
}

bool MainWindow::OnListKey(WPARAM key) {
  if (!parts_.list_menu) return false;
  if (key == 'Z' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) >= 0 &&
      GetKeyState(VK_MENU) >= 0) {
    UndoLastEdit();
    return true;
  }
  return parts_.list_menu->RunShortCut(static_cast<UINT>(key), GetKeyState(VK_CONTROL) < 0,
                                       GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_MENU) < 0);
}

void MainWindow::UpdateListMenu() {
  if (!parts_.list_menu) return;
  PopupMenu& menu = *parts_.list_menu;
  const ListMenuItems& items = menu_items_;
  ReadSelection();
  const std::pair<PopupMenu::ItemId, const char*> radios[] = {{items.center, kStyleTextCenter},
                                                              {items.tile, kStyleTextTile},
                                                              {items.stretch, kStyleTextStretch},
                                                              {items.fit, kStyleTextFit},
                                                              {items.fill, kStyleTextFill}};
  ListMenuState previous;
  previous.delete_enabled = menu.Enabled(items.delete_selected);
  previous.style_enabled = menu.Enabled(items.style);
  for (const auto& [item, word] : radios)
    if (menu.Checked(item)) previous.checked_style = word;

  const ListMenuState state = list_.MenuState(previous);
  menu.SetEnabled(items.delete_selected, state.delete_enabled);
  menu.SetEnabled(items.style, state.style_enabled);
  if (state.update_checks) {
    for (const auto& [item, word] : radios) menu.SetChecked(item, state.checked_style == word);
  }
  for (PopupMenu::ItemId item :
       {items.add, items.add_directory, items.select_all, items.remove_dead})
    menu.SetEnabled(item, true);
}

void MainWindow::AddFiles() {
  if (!EnsureListRead()) return;
  std::vector<std::string> files;
  bool chosen = false;
  if (services_.file_chooser) {
    chosen = services_.file_chooser->ChooseFiles(files);
  } else if (parts_.open_dialog) {
    chosen = parts_.open_dialog->Execute();
    if (chosen) files = parts_.open_dialog->Files();
    if (!chosen && parts_.open_dialog->BufferTooSmall())
      services_.message_boxes->Show(application_.Handle(), kTooManyFilesChosen,
                                    application_.Caption(), MB_OK | MB_ICONWARNING);
  }
  if (!chosen) return;
  ReadSelection();
  list_.BeginEdit();
  // The dialog also offers all files: they are checked as drops are.
  std::vector<std::string> refused;
  std::vector<std::pair<std::string, std::string>> rows;
  for (const std::string& file : files) {
    if (WallpaperList::AcceptsDroppedFile(file))
      rows.emplace_back(file, kStyleTextCenter);
    else
      refused.push_back(file);
  }
  list_.AddRows(rows);
  ShowRefused(refused);
  if (rows.empty()) return;
  ShowRows();
  SaveList();
}

void MainWindow::AddDirectory() {
  if (!EnsureListRead()) return;
  std::string folder;
  bool chosen = false;
  if (services_.file_chooser) {
    chosen = services_.file_chooser->ChooseFolder(folder);
  } else if (parts_.folder_dialog && parts_.folder_dialog->Execute()) {
    folder = parts_.folder_dialog->Folder();
    chosen = true;
  }
  if (!chosen || !parts_.folder_scratch_list) return;
  ReadSelection();
  // One mask at a time: a list box may sort what one listing adds (Wine's does), and the masks'
  // order must survive.
  ListBox& scratch = *parts_.folder_scratch_list;
  std::vector<std::string> names;
  for (const std::string& mask : FolderImageMasks(folder)) {
    scratch.Clear();
    scratch.AddDirectory(mask, kPlainFiles);
    for (int i = 0; i < scratch.Count(); ++i) names.push_back(scratch.Item(i));
  }
  list_.BeginEdit();
  AddFolderFiles(list_, folder, names);
  ShowRows();
  SaveList();
}

bool MainWindow::Confirm(const std::string& text) {
  return services_.message_boxes->Show(application_.Handle(), text, application_.Caption(),
                                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void MainWindow::ShowRefused(const std::vector<std::string>& refused) {
  if (refused.empty()) return;
  std::string text = kDroppedExtensionMessage;
  if (refused.size() > 1) {
    text += "\n";
    for (std::size_t i = 0; i < refused.size() && i < kRefusedNamesShown; ++i)
      text += "\n" + refused[i];
    if (refused.size() > kRefusedNamesShown)
      text += "\n" + std::string(kRefusedMoreBefore) +
              std::to_string(refused.size() - kRefusedNamesShown) + kRefusedMoreAfter;
  }
  services_.message_boxes->Show(application_.Handle(), text, application_.Caption(),
                                MB_OK | MB_SETFOREGROUND);
}

void MainWindow::UndoLastEdit() {
  if (!EnsureListRead()) return;
  if (!list_.Undo()) return;
  ShowRows();
  SaveList();
}

void MainWindow::DeleteSelected() {
  if (!EnsureListRead()) return;
  ReadSelection();
  // Every edit is saved at once: a slip of the hand (Ctrl+A, Delete) must be asked about.
  const std::size_t count = list_.SelectedFileRows();
  if (count > 1 && !Confirm(kConfirmDeleteBefore + std::to_string(count) + kConfirmDeleteAfter))
    return;
  list_.BeginEdit();
  if (!list_.DeleteSelected()) return;
  ShowRows();
  SaveList();
}

void MainWindow::SetSelectedStyle(const std::string& style) {
  if (!EnsureListRead()) return;
  ReadSelection();
  list_.BeginEdit();
  list_.SetSelectedStyle(style);
  ShowRows();
  SaveList();
}

void MainWindow::SelectAll() {
  ReadSelection();
  list_.SelectAll();
  ShowRows();
}

void MainWindow::RemoveDeadEntries() {
  if (!EnsureListRead()) return;
  ReadSelection();
  // An unplugged drive makes all its entries look dead.
  // Each file is looked for once: on a slow share that is most of the work.
  const std::vector<std::size_t> dead = list_.DeadRows();
  if (!dead.empty() &&
      !Confirm(kConfirmRemoveDeadBefore + std::to_string(dead.size()) + kConfirmRemoveDeadAfter))
    return;
  list_.BeginEdit();
  list_.RemoveRows(dead);
  ShowRows();
  SaveList();
}

void MainWindow::DropFiles(const std::vector<std::string>& paths) {
  if (!EnsureListRead()) return;
  ReadSelection();
  list_.BeginEdit();
  const DropResult drop = AddDroppedFiles(list_, paths);
  ShowRefused(drop.refused);
  if (!drop.added) return;
  ShowRows();
  SaveList();
}

void MainWindow::SortByColumn(int column) {
  if (!EnsureListRead()) return;
  ReadSelection();
  list_.BeginEdit();
  list_.SortByColumn(column);
  if (parts_.wallpaper_view)
    parts_.wallpaper_view->SetSortStyle(list_.Order() == SortOrder::Descending
                                            ? ListSortStyle::Descending
                                            : ListSortStyle::Ascending);
  ShowRows();
  SaveList();
}

void MainWindow::ApplySelected() {
  ReadSelection();
  const std::string image = list_.SelectedImage();
  const char letter = list_.SelectedLetter();
  if (FileExists(image)) {
    try {
      ApplyPictures({{letter, image}}, PanelMonitorChoice(), directory_ + kWallpaperFileName,
                    Applier());
    } catch (const Exception& error) {
      // A damaged picture is reported, and the window stays open with its unsaved settings.
      services_.message_boxes->Show(application_.Handle(), error.Message(), kErrorCaption,
                                    MB_OK | MB_ICONERROR);
    } catch (const std::bad_alloc&) {
      // A picture too large for the address space is no reason to lose the window either.
      services_.message_boxes->Show(application_.Handle(), kOutOfMemory, kErrorCaption,
                                    MB_OK | MB_ICONERROR);
    }
    return;
  }
  if (image == kNoWallpaperText) {
    services_.desktop->RemoveWallpaper();
    return;
  }
  const std::string text = PathTooLong(image) ? PathTooLongText(image)
                                              : kFileNotFoundBefore + image + kFileNotFoundAfter;
  services_.message_boxes->Show(application_.Handle(), text, kErrorCaption, MB_OK | MB_ICONERROR);
}

}  // namespace vistrel::app
