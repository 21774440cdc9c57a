// The configuration window: the wallpaper list above, the settings panel below, the list's popup
// menu, the dialogs and the agent check. It shows a WallpaperList and binds its edits to the
// controls; the settings go through LoadWindowSettings and SaveWindowSettings.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/logic/applier.h"
#include "app/logic/wallpaper_list.h"
#include "common/settings.h"
#include "platform/desktop.h"
#include "platform/launcher.h"
#include "platform/message_boxes.h"
#include "platform/registry.h"
#include "toolkit/application_window.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/list_view.h"
#include "toolkit/popup_menu_tree.h"
#include "toolkit/timer.h"
#include "toolkit/top_level_window.h"

namespace vistrel::app {

// The list menu's command ids (WM_COMMAND, first parameter).
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

// The list menu's items, numbered in order across the submenu.
enum ListMenuItem : int {
  kMenuItemAdd = 0,
  kMenuItemAddDirectory = 1,
  kMenuItemDelete = 2,
  kMenuItemSeparator = 3,
  kMenuItemStyle = 4,
  kMenuItemCenter = 5,
  kMenuItemTile = 6,
  kMenuItemStretch = 7,
  kMenuItemSelectAll = 8,
  kMenuItemRemoveDead = 9,
  // Added to the Style submenu after the others, so the numbers above stay as they were.
  kMenuItemFit = 10,
  kMenuItemFill = 11,
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
  // Where vistrel.ini, list.txt and the wallpaper file are, with a trailing backslash.
  std::string directory;
  // Where the program itself is (the agent is started from there); empty: as directory.
  std::string program_directory;
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
  const WallpaperList& List() const { return list_; }
  const std::string& ListPath() const { return list_path_; }
  int Opacity() const { return opacity_; }

  // Freed with the window's handle (at WM_DESTROY); null afterwards.
  ListView* WallpaperView() { return wallpaper_view_.get(); }
  Panel* SettingsPanel() { return settings_panel_.get(); }
  GroupBox* TimerGroup() { return timer_group_.get(); }
  GroupBox* WallpaperGroup() { return wallpaper_group_.get(); }
  GroupBox* OtherGroup() { return other_group_.get(); }
  Label* IntervalLabel() { return interval_label_.get(); }
  Label* MinutesLabel() { return minutes_label_.get(); }
  ComboBox* IntervalBox() { return interval_box_.get(); }
  Button* AgentButton() { return agent_button_.get(); }
  RadioButton* SequentialRadio() { return sequential_radio_.get(); }
  RadioButton* RandomRadio() { return random_radio_.get(); }
  RadioButton* ShuffleRadio() { return shuffle_radio_.get(); }
  CheckBox* StartWithWindowsCheck() { return start_with_windows_check_.get(); }
  CheckBox* RememberLastCheck() { return remember_last_check_.get(); }
  CheckBox* DisableOnScreenSaverCheck() { return disable_check_.get(); }
  CheckBox* ShowBaloonCheck() { return show_baloon_check_.get(); }
  Button* OkButton() { return ok_button_.get(); }
  Button* CancelButton() { return cancel_button_.get(); }
  ListBox* FolderScratchList() { return folder_scratch_list_.get(); }
  PopupMenuTree* ListMenu() { return list_menu_.get(); }
  Timer* AgentCheckTimer() { return agent_check_timer_.get(); }

  // The list's actions, as the menu, the shortcuts and the mouse run them.
  void AddFiles();
  void AddDirectory();
  void DeleteSelected();
  void SetSelectedStyle(const std::string& style);
  void SelectAll();
  void RemoveDeadEntries();
  void DropFiles(const std::vector<std::string>& paths);
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
  void FreeMembers();
  void Construct();
  void TearDown();

  ApplicationWindow& application_;  // not owning
  WindowServices services_;
  std::string argument_;
  std::string directory_;
  std::string program_directory_;
  Settings settings_;
  std::string list_path_;
  WallpaperListHost list_host_;
  WallpaperList list_;
  int opacity_ = 255;

  TopLevelWindow form_;
  std::unique_ptr<Font> font_;
  std::unique_ptr<PopupMenuTree> list_menu_;
  std::unique_ptr<OpenFileDialog> open_dialog_;
  std::unique_ptr<FolderDialog> folder_dialog_;
  std::unique_ptr<ImageList> images_;
  std::unique_ptr<ListView> wallpaper_view_;
  std::unique_ptr<Panel> settings_panel_;
  std::unique_ptr<GroupBox> timer_group_;
  std::unique_ptr<Label> interval_label_;
  std::unique_ptr<Label> minutes_label_;
  std::unique_ptr<ComboBox> interval_box_;
  std::unique_ptr<Button> agent_button_;
  std::unique_ptr<GroupBox> wallpaper_group_;
  std::unique_ptr<RadioButton> sequential_radio_;
  std::unique_ptr<RadioButton> random_radio_;
  std::unique_ptr<RadioButton> shuffle_radio_;
  std::unique_ptr<CheckBox> start_with_windows_check_;
  std::unique_ptr<CheckBox> remember_last_check_;
  std::unique_ptr<GroupBox> other_group_;
  std::unique_ptr<CheckBox> disable_check_;
  std::unique_ptr<CheckBox> show_baloon_check_;
  std::unique_ptr<Button> ok_button_;
  std::unique_ptr<Button> cancel_button_;
  std::unique_ptr<ListBox> folder_scratch_list_;
  std::unique_ptr<Timer> agent_check_timer_;
  HWND last_focus_ = nullptr;  // not owning: restored when the window is activated again
};

}  // namespace vistrel::app
