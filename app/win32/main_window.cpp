#include "app/win32/main_window.h"

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
  args.Caption = kMainCaptionBuilding;
  args.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  args.Visible = false;
  return args;
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

ApplierServices ApplierOf(const WindowServices& services) {
  return {*services.desktop, *services.registry, *services.message_boxes};
}

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
  // The members that need the handle go with it.
  form_.OnDestroy = [this] { FreeMembers(); };
  Build();

  if (!argument_.empty()) {
    // The window is never shown with an argument. The close requests are posted after the
    // application, not before: a box it shows runs the message loop, and a close waiting there
    // would end the program under the box before it could be read.
    ApplyWallpaper(argument_.substr(1), argument_[0], directory_ + kWallpaperFileName,
                   ApplierOf(services_));
    application_.Close();
    form_.Close();
  } else {
    LoadWindowState();
  }
}

MainWindow::~MainWindow() {
  TearDown();
}

void MainWindow::TearDown() {
  // The handle goes first, while the members its messages reach still exist.
  form_.Destroy();
  FreeMembers();
  application_.SetMainForm(nullptr);
}

void MainWindow::FreeMembers() {
  agent_check_timer_.reset();
  list_menu_.reset();
  folder_scratch_list_.reset();
  cancel_button_.reset();
  ok_button_.reset();
  show_baloon_check_.reset();
  disable_check_.reset();
  other_group_.reset();
  remember_last_check_.reset();
  random_radio_.reset();
  shuffle_radio_.reset();
  start_with_windows_check_.reset();
  sequential_radio_.reset();
  wallpaper_group_.reset();
  agent_button_.reset();
  interval_box_.reset();
  minutes_label_.reset();
  interval_label_.reset();
  timer_group_.reset();
  settings_panel_.reset();
  // The list only borrows the images.
  wallpaper_view_.reset();
  images_.reset();
  folder_dialog_.reset();
  open_dialog_.reset();
  font_.reset();
}

// ---- Building

void MainWindow::Build() {
  SetWindowPos(form_.Handle(), nullptr, 0, 0, kDesignWidth, kDesignHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  font_ = std::make_unique<Font>(kFontFace, kFontHeight);
  BuildListMenu();
  open_dialog_ = std::make_unique<OpenFileDialog>(form_);
  open_dialog_->Filter = kOpenFilter;
  open_dialog_->Flags = OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                        OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOVALIDATE | OFN_EXPLORER |
                        OFN_LONGNAMES | OFN_ENABLESIZING;
  open_dialog_->BufferSize = 65520;
  folder_dialog_ = std::make_unique<FolderDialog>(form_);
  folder_dialog_->Flags = BIF_RETURNONLYFSDIRS;
  images_ = std::make_unique<ImageList>(16, 16);
  images_->AddBitmapResource("FORM1_IMAGELIST2", RGB(255, 255, 255));
  BuildList();
  BuildSettingsPanel();
  folder_scratch_list_ = std::make_unique<ListBox>(form_, 24, 37, 116, 60, false);
  Control::SetFontOfChildren(form_.Handle(), font_->Handle());
  interval_box_->SetSelectedIndex(0);

  Control::ReflectNotificationsOf(form_);
  form_.AddMessageHook([this](WindowMessage& message) {
    switch (message.Message) {
      case WM_SIZE: Layout(); return false;
      case WM_SYSCOMMAND:
        // The main window minimizes the whole program to its taskbar entry.
        if ((message.WParam & 0xFFF0) != SC_MINIMIZE) return false;
        application_.Minimize();
        return true;
      case WM_ACTIVATE:
        if (LOWORD(message.WParam) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (focus && IsChild(form_.Handle(), focus)) last_focus_ = focus;
          return false;
        }
        // Back to the control that had the focus, as a dialog does.
        if (last_focus_ && IsWindow(last_focus_) && IsChild(form_.Handle(), last_focus_))
          SetFocus(last_focus_);
        else if (wallpaper_view_)
          wallpaper_view_->Focus();
        return true;
      default: return false;
    }
  });
  Layout();

  agent_check_timer_ =
      std::make_unique<Timer>(form_, kAgentCheckPeriodMs, [this] { CheckAgent(); });
  agent_check_timer_->SetEnabled(true);
}

void MainWindow::BuildListMenu() {
  list_menu_ = std::make_unique<PopupMenuTree>(form_);
  PopupMenuTree& menu = *list_menu_;
  auto item = [](const std::string& caption, std::function<void()> command, UINT id,
                 ShortCut keys = ShortCut{}) {
    PopupMenuTree::ItemArgs args;
    args.Caption = caption;
    args.Command = std::move(command);
    args.CommandId = id;
    args.Keys = keys;
    return args;
  };
  ShortCut ctrl_a;
  ctrl_a.Key = 'A';
  ctrl_a.Ctrl = true;
  menu.AddItem(item(
      kMenuAdd, [this] { AddFiles(); }, kCommandAdd, ShortCut{VK_INSERT}));
  menu.AddItem(item(
      kMenuAddDirectory, [this] { AddDirectory(); }, kCommandAddDirectory));
  menu.AddItem(item(
      kMenuDelete, [this] { DeleteSelected(); }, kCommandDelete, ShortCut{VK_DELETE}));
  menu.AddSeparator();
  const PopupMenuTree::ItemId style = menu.AddSubmenu(kMenuStyle);
  auto add_style = [&](const char* word, UINT command) {
    const std::string text = word;
    PopupMenuTree::ItemArgs args = item(
        text, [this, text] { SetSelectedStyle(text); }, command);
    args.RadioGroup = kRadioGroupStyles;
    args.Parent = style;
    menu.AddItem(args);
  };
  add_style(kStyleTextCenter, kCommandCenter);
  add_style(kStyleTextTile, kCommandTile);
  add_style(kStyleTextStretch, kCommandStretch);
  menu.AddItem(item(
      kMenuSelectAll, [this] { SelectAll(); }, kCommandSelectAll, ctrl_a));
  menu.AddItem(item(
      kMenuRemoveDead, [this] { RemoveDeadEntries(); }, kCommandRemoveDead));
  add_style(kStyleTextFit, kCommandFit);
  add_style(kStyleTextFill, kCommandFill);
  menu.OnPopup = [this] { UpdateListMenu(); };
}

void MainWindow::BuildList() {
  ListViewArgs args;
  args.MultiSelect = true;
  args.ShowSelectionAlways = true;
  args.RowSelect = true;
  args.InfoTips = true;
  wallpaper_view_ = std::make_unique<ListView>(form_, args);
  ListView& view = *wallpaper_view_;
  view.AddColumn(kColumnImage, defaults::kColumnWidth0);
  view.AddColumn(kColumnStyle, defaults::kColumnWidth1);
  view.SetSmallImages(*images_);
  view.SetAcceptFiles(true);
  view.OnDoubleClick = [this] { ApplySelected(); };
  view.OnColumnClick = [this](int column) { SortByColumn(column); };
  view.OnDropFiles = [this](const std::vector<std::string>& paths) { DropFiles(paths); };
  view.OnContextMenu = [this](POINT at) {
    if (list_menu_) list_menu_->Popup(at.x, at.y);
  };
  view.OnKeyDown = [this](WPARAM key) { return OnListKey(key); };
}

void MainWindow::BuildSettingsPanel() {
  settings_panel_ = std::make_unique<Panel>(form_, 0, 0, kDesignWidth, kPanelHeight);
  Panel& panel = *settings_panel_;

  timer_group_ = std::make_unique<GroupBox>(panel, kTimerGroup, 8, 80, 169, 49);
  interval_label_ = std::make_unique<Label>(*timer_group_, kIntervalLabel, 8, 20);
  minutes_label_ = std::make_unique<Label>(*timer_group_, kMinutesLabel, 120, 20);
  interval_box_ = std::make_unique<ComboBox>(*timer_group_, 64, 17, 49, 21);
  for (const char* item : kIntervalItems) interval_box_->AddItem(item);

  ButtonArgs agent{kAgentButton, 184, 107, kButtonWidth, kButtonHeight};
  agent_button_ = std::make_unique<Button>(panel, agent);
  agent_button_->OnClick = [this] { StartAgent(); };

  wallpaper_group_ = std::make_unique<GroupBox>(panel, kWallpaperGroup, 8, 8, 169, 70);
  sequential_radio_ =
      std::make_unique<RadioButton>(*wallpaper_group_, kSequentialRadio, 8, 16, true);
  random_radio_ = std::make_unique<RadioButton>(*wallpaper_group_, kRandomRadio, 88, 16);
  // A second row for the third order; "Remember last wallpaper" moves down a little for it.
  shuffle_radio_ = std::make_unique<RadioButton>(*wallpaper_group_, kShuffleRadio, 8, 33);
  sequential_radio_->SetChecked(true);
  remember_last_check_ =
      std::make_unique<CheckBox>(*wallpaper_group_, kRememberLastCheck, 9, kRememberLastTop);

  other_group_ = std::make_unique<GroupBox>(panel, kOtherGroup, 184, 8, 217, 70);
  disable_check_ = std::make_unique<CheckBox>(*other_group_, kDisableOnScreenSaverCheck, 8, 40);
  show_baloon_check_ = std::make_unique<CheckBox>(*other_group_, kShowBaloonCheck, 8, 16);
  // Under the "Other:" group, above the buttons, where the panel has room for one line.
  start_with_windows_check_ =
      std::make_unique<CheckBox>(panel, kStartWithWindowsCheck, kStartWithWindowsLeft,
                                 kStartWithWindowsTop);

  ButtonArgs ok{kOkButton, 337, 107, kButtonWidth, kButtonHeight};
  ok.Default = true;
  ok_button_ = std::make_unique<Button>(panel, ok);
  ok_button_->OnClick = [this] { SaveSettings(); };

  ButtonArgs cancel{kCancelButton, 265, 107, kButtonWidth, kButtonHeight};
  cancel.Cancel = true;
  cancel_button_ = std::make_unique<Button>(panel, cancel);
  cancel_button_->OnClick = [this] { form_.Close(); };
}

void MainWindow::Layout() {
  if (!wallpaper_view_ || !settings_panel_) return;
  RECT client = {};
  GetClientRect(form_.Handle(), &client);
  const int width = client.right;
  const int list_height = client.bottom > kPanelHeight ? client.bottom - kPanelHeight : 0;
  wallpaper_view_->SetBounds(0, 0, width, list_height);
  settings_panel_->SetBounds(0, list_height, width, kPanelHeight);
}

// ---- Settings

void MainWindow::LoadWindowState() {
  CheckAgent();
  const WindowSettings v =
      LoadWindowSettings(settings_, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  if (v.start_hidden) application_.Send(WM_SYSCOMMAND, SC_MINIMIZE);
  if (v.random || v.shuffle) {
    sequential_radio_->SetChecked(false);
    (v.shuffle ? shuffle_radio_ : random_radio_)->SetChecked(true);
  }
  interval_box_->SetText(v.interval);
  // Windows's own list of programs to start is where this lives, not the settings file.
  std::string run_command;
  start_with_windows_check_->SetChecked(
      services_.registry->ReadText(kRunKey, kRunValueName, run_command) &&
      CompareTextIgnoreCase(run_command, AgentRunCommand()) == 0);
  ApplyOpacity(v.opacity);
  SetWindowPos(form_.Handle(), nullptr, 0, 0, v.width, v.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  form_.MoveTo(v.left, v.top);
  wallpaper_view_->SetColumnWidth(0, v.column_width0);
  wallpaper_view_->SetColumnWidth(1, v.column_width1);
  application_.ShowOwned(form_);
  application_.ShowEntry();
  remember_last_check_->SetChecked(v.remember_last);
  show_baloon_check_->SetChecked(v.show_baloon);
  disable_check_->SetChecked(v.disable_on_screensaver);
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
    ReadSelection();
    WindowSettings v;
    const RECT bounds = form_.Bounds();
    v.left = bounds.left;
    v.top = bounds.top;
    v.width = bounds.right - bounds.left;
    v.height = bounds.bottom - bounds.top;
    v.column_width0 = wallpaper_view_->ColumnWidth(0);
    v.column_width1 = wallpaper_view_->ColumnWidth(1);
    v.start_hidden = !form_.IsVisible();
    v.opacity = opacity_;
    v.interval = interval_box_->Text();
    v.remember_last = remember_last_check_->Checked();
    v.show_baloon = show_baloon_check_->Checked();
    v.random = random_radio_->Checked();
    v.shuffle = shuffle_radio_->Checked();
    v.disable_on_screensaver = disable_check_->Checked();
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
  if (!start_with_windows_check_) return true;
  std::string stored;
  const bool exists = services_.registry->ReadText(kRunKey, kRunValueName, stored);
  const std::string ours = AgentRunCommand();
  const bool names_ours = exists && CompareTextIgnoreCase(stored, ours) == 0;
  std::string failure;
  if (start_with_windows_check_->Checked()) {
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
  if (agent_button_) agent_button_->SetEnabled(services_.agent_link->FindAgent() == nullptr);
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
  if (!wallpaper_view_) return;
  ListView& view = *wallpaper_view_;
  const std::vector<ListRow>& rows = list_.Rows();
  const int count = static_cast<int>(rows.size());
  view.SetRedraw(false);
  while (view.Count() > count) view.DeleteItem(view.Count() - 1);
  // With a sorted style the control places new rows itself; every row is rewritten below.
  while (view.Count() < count) view.InsertItem(view.Count(), std::string(), kIconPicture);
  for (int i = 0; i < count; ++i) {
    const ListRow& row = rows[static_cast<std::size_t>(i)];
    if (view.ItemText(i, 0) != row.image) view.SetItemText(i, 0, row.image);
    if (view.ItemText(i, 1) != row.style) view.SetItemText(i, 1, row.style);
    if (view.ItemImage(i) != row.icon) view.SetItemImage(i, row.icon);
    if (view.Selected(i) != row.selected) view.SetSelected(i, row.selected);
  }
  view.SetRedraw(true);
}

void MainWindow::ReadSelection() {
  if (!wallpaper_view_) return;
  const std::size_t count = list_.Rows().size();
  for (std::size_t i = 0; i < count; ++i)
    list_.Select(i, wallpaper_view_->Selected(static_cast<int>(i)));
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
  if (!list_menu_) return false;
  return list_menu_->RunShortCut(static_cast<UINT>(key), GetKeyState(VK_CONTROL) < 0,
                                 GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_MENU) < 0);
}

void MainWindow::UpdateListMenu() {
  if (!list_menu_) return;
  PopupMenuTree& menu = *list_menu_;
  ReadSelection();
  const std::pair<ListMenuItem, const char*> radios[] = {{kMenuItemCenter, kStyleTextCenter},
                                                         {kMenuItemTile, kStyleTextTile},
                                                         {kMenuItemStretch, kStyleTextStretch},
                                                         {kMenuItemFit, kStyleTextFit},
                                                         {kMenuItemFill, kStyleTextFill}};
  ListMenuState previous;
  previous.delete_enabled = menu.Enabled(kMenuItemDelete);
  previous.style_enabled = menu.Enabled(kMenuItemStyle);
  for (const auto& [item, word] : radios)
    if (menu.Checked(item)) previous.checked_style = word;

  const ListMenuState state = list_.MenuState(previous);
  menu.SetEnabled(kMenuItemDelete, state.delete_enabled);
  menu.SetEnabled(kMenuItemStyle, state.style_enabled);
  if (state.update_checks) {
    for (const auto& [item, word] : radios) menu.SetChecked(item, state.checked_style == word);
  }
  for (ListMenuItem item :
       {kMenuItemAdd, kMenuItemAddDirectory, kMenuItemSelectAll, kMenuItemRemoveDead})
    menu.SetEnabled(item, true);
}

void MainWindow::AddFiles() {
  if (!EnsureListRead()) return;
  std::vector<std::string> files;
  bool chosen = false;
  if (services_.file_chooser) {
    chosen = services_.file_chooser->ChooseFiles(files);
  } else if (open_dialog_ && open_dialog_->Execute()) {
    files = open_dialog_->Files();
    chosen = true;
  }
  if (!chosen) return;
  ReadSelection();
  // Not checked against the filter: the dialog also offers all files.
  for (const std::string& file : files) list_.AddRow(file, kStyleTextCenter);
  ShowRows();
  SaveList();
}

void MainWindow::AddDirectory() {
  if (!EnsureListRead()) return;
  std::string folder;
  bool chosen = false;
  if (services_.file_chooser) {
    chosen = services_.file_chooser->ChooseFolder(folder);
  } else if (folder_dialog_ && folder_dialog_->Execute()) {
    folder = folder_dialog_->Folder();
    chosen = true;
  }
  if (!chosen || !folder_scratch_list_) return;
  ReadSelection();
  // One mask at a time: a list box may sort what one listing adds (Wine's does), and the masks'
  // order must survive.
  ListBox& scratch = *folder_scratch_list_;
  std::vector<std::string> names;
  for (const std::string& mask : FolderImageMasks(folder)) {
    scratch.Clear();
    scratch.AddDirectory(mask, kPlainFiles);
    for (int i = 0; i < scratch.Count(); ++i) names.push_back(scratch.Item(i));
  }
  AddFolderFiles(list_, folder, names);
  ShowRows();
  SaveList();
}

void MainWindow::DeleteSelected() {
  if (!EnsureListRead()) return;
  ReadSelection();
  if (!list_.DeleteSelected()) return;
  ShowRows();
  SaveList();
}

void MainWindow::SetSelectedStyle(const std::string& style) {
  if (!EnsureListRead()) return;
  ReadSelection();
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
  list_.RemoveDeadEntries();
  ShowRows();
  SaveList();
}

void MainWindow::DropFiles(const std::vector<std::string>& paths) {
  if (!EnsureListRead()) return;
  ReadSelection();
  const DropResult drop = AddDroppedFiles(list_, paths);
  for (std::size_t i = 0; i < drop.refused.size(); ++i)
    services_.message_boxes->Show(application_.Handle(), kDroppedExtensionMessage,
                                  application_.Caption(), MB_OK | MB_SETFOREGROUND);
  if (!drop.added) return;
  ShowRows();
  SaveList();
}

void MainWindow::SortByColumn(int column) {
  if (!EnsureListRead()) return;
  ReadSelection();
  list_.SortByColumn(column);
  if (wallpaper_view_)
    wallpaper_view_->SetSortStyle(list_.Order() == SortOrder::Descending
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
      ApplyWallpaper(image, letter, directory_ + kWallpaperFileName, ApplierOf(services_));
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
  services_.message_boxes->Show(application_.Handle(),
                                kFileNotFoundBefore + image + kFileNotFoundAfter, kErrorCaption,
                                MB_OK | MB_ICONERROR);
}

}  // namespace vistrel::app
