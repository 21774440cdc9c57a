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
#include "toolkit/error_box.h"
#include "toolkit/window.h"

namespace vistrel::app {

namespace {

// Places and sizes of the designed window, in pixels.
constexpr int kDesignWidth = 462;
constexpr int kDesignHeight = 400;
constexpr int kPanelHeight = 138;
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 22;
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
  args.visible = false;
  return args;
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
    applied_ =
        ApplyWallpaper(argument_.substr(1), argument_[0], directory_ + kWallpaperFileName, applier);
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
}

// ---- Building

void MainWindow::Build() {
  SetWindowPos(form_.Handle(), nullptr, 0, 0, kDesignWidth, kDesignHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  parts_.font = &form_.Make<Font>(kFontFace, kFontHeight);
  BuildListMenu();
  parts_.open_dialog = &form_.Make<OpenFileDialog>(form_);
  parts_.open_dialog->filter = kOpenFilter;
  parts_.open_dialog->flags = OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                              OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOVALIDATE |
                              OFN_EXPLORER | OFN_LONGNAMES | OFN_ENABLESIZING;
  parts_.open_dialog->buffer_size = kOpenDialogBufferSize;
  parts_.folder_dialog = &form_.Make<FolderDialog>(form_);
  parts_.folder_dialog->flags = BIF_RETURNONLYFSDIRS;
  parts_.images = &form_.Make<ImageList>(16, 16);
  parts_.images->AddBitmapResource("FORM1_IMAGELIST2", RGB(255, 255, 255));
  BuildList();
  BuildSettingsPanel();
  ControlArgs scratch{"", 24, 37, 116, 60};
  scratch.visible = false;
  parts_.folder_scratch_list = &form_.Make<ListBox>(form_, scratch);
  Control::SetFontOfChildren(form_.Handle(), parts_.font->Handle());
  parts_.interval_box->SetSelectedIndex(0);

  Control::ReflectNotificationsOf(form_);
  form_.AddMessageHook([this](WindowMessage& message) {
    switch (message.message) {
      case WM_SIZE: Layout(); return false;
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
  Panel& panel = form_.Make<Panel>(form_, ControlArgs{"", 0, 0, kDesignWidth, kPanelHeight});
  parts_.settings_panel = &panel;

  GroupBox& timer = form_.Make<GroupBox>(panel, ControlArgs{kTimerGroup, 8, 80, 169, 49});
  parts_.timer_group = &timer;
  parts_.interval_label = &form_.Make<Label>(timer, ControlArgs{kIntervalLabel, 8, 20});
  parts_.minutes_label = &form_.Make<Label>(timer, ControlArgs{kMinutesLabel, 120, 20});
  parts_.interval_box = &form_.Make<ComboBox>(timer, ControlArgs{"", 64, 17, 49, 21});
  for (const char* item : kIntervalItems) parts_.interval_box->AddItem(item);

  parts_.agent_button =
      &form_.Make<Button>(panel, ControlArgs{kAgentButton, 184, 107, kButtonWidth, kButtonHeight});
  parts_.agent_button->OnClick = [this] { StartAgent(); };

  GroupBox& order = form_.Make<GroupBox>(panel, ControlArgs{kWallpaperGroup, 8, 8, 169, 70});
  parts_.wallpaper_group = &order;
  ControlArgs sequential{kSequentialRadio, 8, 16};
  sequential.first_of_group = true;
  parts_.sequential_radio = &form_.Make<RadioButton>(order, sequential);
  parts_.random_radio = &form_.Make<RadioButton>(order, ControlArgs{kRandomRadio, 88, 16});
  // A second row for the third order; "Remember last wallpaper" moves down a little for it.
  parts_.shuffle_radio = &form_.Make<RadioButton>(order, ControlArgs{kShuffleRadio, 8, 33});
  parts_.sequential_radio->SetChecked(true);
  parts_.remember_last_check =
      &form_.Make<CheckBox>(order, ControlArgs{kRememberLastCheck, 9, kRememberLastTop});

  GroupBox& other = form_.Make<GroupBox>(panel, ControlArgs{kOtherGroup, 184, 8, 217, 70});
  parts_.other_group = &other;
  parts_.disable_check =
      &form_.Make<CheckBox>(other, ControlArgs{kDisableOnScreenSaverCheck, 8, 40});
  parts_.show_baloon_check = &form_.Make<CheckBox>(other, ControlArgs{kShowBaloonCheck, 8, 16});
  // Under the "Other:" group, above the buttons, where the panel has room for one line.
  parts_.start_with_windows_check = &form_.Make<CheckBox>(
      panel, ControlArgs{kStartWithWindowsCheck, kStartWithWindowsLeft, kStartWithWindowsTop});

  ControlArgs ok{kOkButton, 337, 107, kButtonWidth, kButtonHeight};
  ok.is_default = true;
  parts_.ok_button = &form_.Make<Button>(panel, ok);
  parts_.ok_button->OnClick = [this] { SaveSettings(); };

  ControlArgs cancel{kCancelButton, 265, 107, kButtonWidth, kButtonHeight};
  cancel.is_cancel = true;
  parts_.cancel_button = &form_.Make<Button>(panel, cancel);
  parts_.cancel_button->OnClick = [this] { form_.Close(); };
}

void MainWindow::Layout() {
  if (!parts_.wallpaper_view || !parts_.settings_panel) return;
  RECT client = {};
  GetClientRect(form_.Handle(), &client);
  const int width = client.right;
  const int list_height = client.bottom > kPanelHeight ? client.bottom - kPanelHeight : 0;
  parts_.wallpaper_view->SetBounds(0, 0, width, list_height);
  parts_.settings_panel->SetBounds(0, list_height, width, kPanelHeight);
}

// ---- Settings

void MainWindow::LoadWindowState() {
  CheckAgent();
  const WindowSettings v =
      LoadWindowSettings(settings_, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
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
  const ScreenRect place = PlaceOnWorkArea(v.left, v.top, v.width, v.height, WorkAreas());
  SetWindowPos(form_.Handle(), nullptr, 0, 0, place.right - place.left, place.bottom - place.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  form_.MoveTo(place.left, place.top);
  parts_.wallpaper_view->SetColumnWidth(0, v.column_width0);
  parts_.wallpaper_view->SetColumnWidth(1, v.column_width1);
  application_.ShowOwned(form_);
  application_.ShowEntry();
  parts_.remember_last_check->SetChecked(v.remember_last);
  parts_.show_baloon_check->SetChecked(v.show_baloon);
  parts_.disable_check->SetChecked(v.disable_on_screensaver);
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
    const int last_index = list_.LastIndexForSelection();
    if (!SaveWindowSettings(settings_, v, last_index)) {
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
      ApplyWallpaper(image, letter, directory_ + kWallpaperFileName, Applier());
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
