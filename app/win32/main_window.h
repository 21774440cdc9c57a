// The configuration window: the wallpaper list above, the settings panel below, the list's popup
// menu, the dialogs and the agent check. It shows a WallpaperList and binds its edits to the
// controls; the settings go through LoadWindowSettings and SaveWindowSettings.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/logic/applier.h"
#include "app/logic/wallpaper_list.h"
#include "app/win32/applier_mutex.h"
#include "common/settings.h"
#include "platform/desktop.h"
#include "platform/launcher.h"
#include "platform/message_boxes.h"
#include "platform/registry.h"
#include "toolkit/application_window.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/form.h"
#include "toolkit/list_view.h"
#include "toolkit/popup_menu.h"
#include "toolkit/timer.h"
#include "toolkit/top_level_window.h"

namespace vistrel::app {

// The list menu's command ids (WM_COMMAND, first parameter). Other processes send them (the
// end-to-end tests), so they stay as they are; the menu is given them when it is built.
enum ListCommand : UINT {
  kCommandAdd = 2001,
  kCommandAddDirectory = 2002,
  kCommandDelete = 2003,
  kCommandCenter = 2005,
  kCommandTile = 2006,
  kCommandStretch = 2007,
  kCommandSelectAll = 2008,
  kCommandRemoveDead = 2009,
  kCommandFit = 2010,
  kCommandFill = 2011,
};

// The list menu's items, as the menu numbered them when it was built.
struct ListMenuItems {
  PopupMenu::ItemId add, add_directory, delete_selected, separator, select_all, remove_dead;
  // The Style submenu and its radio items.
  PopupMenu::ItemId style, center, tile, stretch, fit, fill;
};

// The agent's hidden window: the toolkit's window class with the agent's title, so that a
// message box or a folder window of that title is not taken for it. Null when none runs.
HWND FindAgentWindow();

// How the window finds the running agent and tells it to reload.
class AgentLink {
 public:
  virtual ~AgentLink() = default;
  // The agent's window, or null when none runs.
  virtual HWND FindAgent() = 0;
  // Delivers the message and waits until it has been handled, or until the time runs out: a
  // hung agent must not hang the window.
  virtual void Send(HWND agent, UINT message, WPARAM wparam, LPARAM lparam) = 0;
};

// FindAgentWindow, and SendMessageTimeoutA.
AgentLink& SystemAgentLink();

// What the user picks in the open and the folder dialog.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // False when cancelled.
  virtual bool ChooseFiles(std::vector<std::string>& files) = 0;
  virtual bool ChooseFolder(std::string& folder) = 0;
};

// What the window uses beyond its own controls: the system's unless a test puts its fakes in.
// None is owned; each must outlive the window.
struct WindowServices {
  MessageBoxes* message_boxes = &SystemMessageBoxes();
  Launcher* launcher = &SystemLauncher();
  Desktop* desktop = &SystemDesktop();
  // The desktop's style values and the agent's value under the Run key.
  UserRegistry* registry = &SystemRegistry();
  AgentLink* agent_link = &SystemAgentLink();
  // Null: the window's own dialogs.
  FileChooser* file_chooser = nullptr;
};

struct MainWindowOptions {
  // The program's command-line argument; not empty: apply it and close, never shown.
  std::string argument;
  // The arguments after it: the pictures for the other monitors.
  std::vector<std::string> other_arguments;
  // Where vistrel.ini, list.txt and the wallpaper file are, with a trailing backslash.
  std::string directory;
  // Where the program itself is (the agent is started from there); empty: as directory.
  std::string program_directory;
  // The agent started the command-line apply: no box at all, only the result.
  bool quiet = false;
  WindowServices services;
};

class MainWindow {
 public:
  // Builds the window hidden, owned by the application window, and makes it the application's
  // main window; then applies the argument and closes, or loads the settings and shows it.
  MainWindow(ApplicationWindow& application, MainWindowOptions options);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow();

  TopLevelWindow& Form() { return form_; }
  // What the command-line apply came to; none without an argument.
  std::optional<ApplyResult> CommandLineResult() const { return applied_; }
  const WallpaperList& List() const { return list_; }
  const std::string& ListPath() const { return list_path_; }
  int Opacity() const { return opacity_; }
  // The DPI the window is laid out at.
  int Dpi() const { return dpi_; }
  // The least outer size that shows every control of the settings panel whole.
  SIZE MinimumSize() const;

  // Freed with the window's handle (at WM_DESTROY); null afterwards.
  ListView* WallpaperView() { return parts_.wallpaper_view; }
  Panel* SettingsPanel() { return parts_.settings_panel; }
  GroupBox* TimerGroup() { return parts_.timer_group; }
  GroupBox* WallpaperGroup() { return parts_.wallpaper_group; }
  GroupBox* OtherGroup() { return parts_.other_group; }
  Label* IntervalLabel() { return parts_.interval_label; }
  Label* MinutesLabel() { return parts_.minutes_label; }
  ComboBox* IntervalBox() { return parts_.interval_box; }
  Button* AgentButton() { return parts_.agent_button; }
  RadioButton* SequentialRadio() { return parts_.sequential_radio; }
  RadioButton* RandomRadio() { return parts_.random_radio; }
  RadioButton* ShuffleRadio() { return parts_.shuffle_radio; }
  CheckBox* StartWithWindowsCheck() { return parts_.start_with_windows_check; }
  CheckBox* RememberLastCheck() { return parts_.remember_last_check; }
  CheckBox* DisableOnScreenSaverCheck() { return parts_.disable_check; }
  CheckBox* ShowBaloonCheck() { return parts_.show_baloon_check; }
  Button* OkButton() { return parts_.ok_button; }
  Button* CancelButton() { return parts_.cancel_button; }
  Label* MonitorsLabel() { return parts_.monitors_label; }
  ComboBox* MonitorsBox() { return parts_.monitors_box; }
  CheckBox* PortraitCheck() { return parts_.portrait_check; }
  ListBox* FolderScratchList() { return parts_.folder_scratch_list; }
  PopupMenu* ListMenu() { return parts_.list_menu; }
  const ListMenuItems& MenuItems() const { return menu_items_; }
  Timer* AgentCheckTimer() { return parts_.agent_check_timer; }

  // The list's actions, as the menu, the shortcuts and the mouse run them.
  void AddFiles();
  void AddDirectory();
  void DeleteSelected();
  void SetSelectedStyle(const std::string& style);
  void SelectAll();
  void RemoveDeadEntries();
  void DropFiles(const std::vector<std::string>& paths);
  // Ctrl+Z: the list as it was before the last edit, saved.
  void UndoLastEdit();
  void SortByColumn(int column);
  void ApplySelected();
  // Enables and checks the menu's items for the selection; runs before the menu opens.
  void UpdateListMenu();

  void StartAgent();
  // The Run value as this folder's agent wants it: its full path in quotes.
  std::string AgentRunCommand() const;
  // Writes or removes the Run value after the check box; false (and a box) on failure.
  bool SaveStartWithWindows();
  void CheckAgent();
  void SaveSettings();
  void ApplyOpacity(int opacity);

 private:
  void Build();
  void BuildList();
  void BuildSettingsPanel();
  void BuildListMenu();
  void LoadWindowState();
  void Layout();
  // Places the settings panel's controls: the design's places scaled to the DPI, moved apart
  // where the captions in the font at that DPI need more room.
  void LayoutPanel();
  // Font, icons, the list's images and column widths, and the layout, at the DPI.
  void ApplyDpi(int dpi);
  void LoadIcons();
  // The view shows the rows and the selection of list_; the selection is read back before
  // every action.
  void ShowRows();
  void ReadSelection();
  void SaveList();
  // True when the list has been read; otherwise reads it again and says so when it still
  // cannot be read. Every edit asks first: a list that was never read must not be rewritten.
  bool EnsureListRead();
  void ShowListNotRead();
  bool OnListKey(WPARAM key);
  // A Yes/No question owned by the application window; true for Yes.
  bool Confirm(const std::string& text);
  // One box for the files that were not taken, naming the first few.
  void ShowRefused(const std::vector<std::string>& refused);
  void Construct();
  void TearDown();
  void ApplyArgument();
  ApplierServices Applier();
  // How the panel says the desktop is covered.
  MonitorChoice PanelMonitorChoice() const;
  void ShowMonitorChoice(MonitorChoice choice);

  ApplicationWindow& application_;  // not owning
  WindowServices services_;
  std::string argument_;
  std::vector<std::string> other_arguments_;
  std::string directory_;
  std::string program_directory_;
  bool quiet_;
  ApplierMutex apply_lock_;
  std::optional<ApplyResult> applied_;
  Settings settings_;
  std::string list_path_;
  WallpaperListHost list_host_;
  WallpaperList list_;
  int opacity_ = 255;
  int dpi_ = 96;
  // Set by LayoutPanel: the panel's height and the client width its controls need.
  int panel_height_ = 0;
  int panel_content_width_ = 0;
  // The window's icons at its DPI; also the application window's.
  UniqueIcon big_icon_;
  UniqueIcon small_icon_;

  vistrel::Form form_;
  // Made by the form, which owns them and frees them with its handle; cleared before that.
  struct Parts {
    Font* font = nullptr;
    PopupMenu* list_menu = nullptr;
    OpenFileDialog* open_dialog = nullptr;
    FolderDialog* folder_dialog = nullptr;
    ImageList* images = nullptr;
    ListView* wallpaper_view = nullptr;
    Panel* settings_panel = nullptr;
    GroupBox* timer_group = nullptr;
    Label* interval_label = nullptr;
    Label* minutes_label = nullptr;
    ComboBox* interval_box = nullptr;
    Button* agent_button = nullptr;
    GroupBox* wallpaper_group = nullptr;
    RadioButton* sequential_radio = nullptr;
    RadioButton* random_radio = nullptr;
    RadioButton* shuffle_radio = nullptr;
    CheckBox* start_with_windows_check = nullptr;
    CheckBox* remember_last_check = nullptr;
    GroupBox* other_group = nullptr;
    CheckBox* disable_check = nullptr;
    CheckBox* show_baloon_check = nullptr;
    Button* ok_button = nullptr;
    Button* cancel_button = nullptr;
    Label* monitors_label = nullptr;
    ComboBox* monitors_box = nullptr;
    CheckBox* portrait_check = nullptr;
    ListBox* folder_scratch_list = nullptr;
    Timer* agent_check_timer = nullptr;
  };
  Parts parts_;
  ListMenuItems menu_items_ = {};
  HWND last_focus_ = nullptr;  // not owning: restored when the window is activated again
};

}  // namespace vistrel::app
