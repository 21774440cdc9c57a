// The configuration window's wallpaper list as rows and a selection. The list view only shows
// this model; every edit that changes rows or their order is followed by Save.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vistrel {

constexpr const char kNoWallpaperText[] = "No Wallpaper";
constexpr const char kDroppedExtensionMessage[] =
    "Dropped file doesn't seem to have correct extension, sorry.";

enum RowIcon : int { kIconPicture = 0, kIconNoWallpaper = 1, kIconMissingFile = 2 };

struct ListRow {
  std::string image;  // a full path, or "No Wallpaper"
  std::string style;  // "Center", "Tile", "Stretch" or empty
  int icon = kIconPicture;
  bool selected = false;
  // The row's line number in the file as it was read; 0 for rows added since.
  int file_line = 0;

  bool IsNoWallpaper() const { return image == kNoWallpaperText; }
};

enum class SortOrder : std::uint8_t { None, Ascending, Descending };

// What the popup menu shows before it opens.
struct ListMenuState {
  bool delete_enabled = false;
  bool style_enabled = false;
  // The checked radio item: "Center", "Tile" or "Stretch"; empty for none. Only meaningful
  // when update_checks is true; otherwise the group stays as it was.
  bool update_checks = false;
  std::string checked_style;
};

// What the list needs from outside. The defaults work on the real files and the user's locale;
// tests override what they fake.
class WallpaperListHost {
 public:
  virtual ~WallpaperListHost() = default;
  virtual bool FileExists(const std::string& path);
  // The list file in one go; false when it cannot be read.
  virtual bool ReadList(const std::string& path, std::vector<std::string>& lines);
  // Between two tries at a list that another program holds.
  virtual void Pause(unsigned milliseconds);
  // The order rows sort in: negative, zero or positive as a goes before, with or after b.
  virtual int CompareText(const std::string& a, const std::string& b);
};

class WallpaperList {
 public:
  // A list held by another program for a moment (a backup, a virus scanner) is read again this
  // often, with this pause between the tries.
  static constexpr int kReadAttempts = 10;
  static constexpr unsigned kReadPauseMs = 200;

  // The host must outlive the list.
  explicit WallpaperList(WallpaperListHost& host) : host_(host) {}

  const std::vector<ListRow>& Rows() const { return rows_; }
  SortOrder Order() const { return order_; }

  // The "No Wallpaper" row, then one row per line of the file, which is created empty when
  // missing. Empty lines (hand-edited files) carry no picture and are left out. A file that
  // exists but cannot be read after the retries leaves only "No Wallpaper" and false, and the
  // list refuses to be saved until a later Load has read it: saving would replace every entry.
  bool Load(const std::string& list_path);
  bool IsRead() const { return read_; }
  // The lines the list file holds: every row but "No Wallpaper", in row order.
  std::vector<std::string> FileLines() const;
  // False, and the file untouched, while the list has not been read.
  bool Save(const std::string& list_path);

  void Select(std::size_t row, bool selected);
  void SelectAll();
  int FirstSelected() const;  // -1 when none

  // A new row with icon 0; where the list was sorted, it goes to its sorted place by Image text.
  std::size_t AddRow(const std::string& image, const std::string& style);
  // The same for many rows at once, in the given order, each where AddRow would put it, in
  // O(n + m log m) where the list is sorted by Image.
  void AddRows(const std::vector<std::pair<std::string, std::string>>& images_and_styles);
  // The selected rows that name a file (all but "No Wallpaper").
  std::size_t SelectedFileRows() const;
  // False (and nothing changed) when no row is selected. "No Wallpaper" is only unselected.
  bool DeleteSelected();
  void SetSelectedStyle(const std::string& style);
  // The file rows whose file cannot be found, in order: what RemoveDeadEntries removes.
  std::vector<std::size_t> DeadRows() const;
  void RemoveDeadEntries() { RemoveRows(DeadRows()); }
  // Removes the rows at these ascending indices ("No Wallpaper" is never removed).
  void RemoveRows(const std::vector<std::size_t>& rows);
  // Keeps the rows as they are before an edit, for Undo.
  void BeginEdit();
  // Puts back the rows kept by the last BeginEdit, keeping the current ones in their place (a
  // second Undo redoes). False when there is nothing to put back.
  bool Undo();
  // Sorts by the column's text (0 Image, 1 Style), toggling the direction on every call.
  void SortByColumn(int column);

  ListMenuState MenuState(const ListMenuState& previous) const;

  // Where the window's OK stores the agent's position: the number of file rows up to and
  // including the first selected row, or -1 (nothing to write) when that row is the top one or
  // none is selected. Until the list is first rewritten, the file may still hold empty lines
  // that the agent counts, so a row read from it gives its line number in the file.
  int LastIndexForSelection() const;

  // The first selected row's Image text (empty without a selection) and its style letter.
  std::string SelectedImage() const;
  char SelectedLetter() const;

  // Dropped files are taken when the applier reads their kind, in any letter case.
  static bool AcceptsDroppedFile(const std::string& path);

 private:
  WallpaperListHost& host_;  // not owning
  std::vector<ListRow> rows_;
  SortOrder order_ = SortOrder::None;
  // The rows are in Image order for order_: a new row's place is found by halves.
  bool image_sorted_ = false;
  std::vector<ListRow> undo_rows_;
  SortOrder undo_order_ = SortOrder::None;
  bool undo_image_sorted_ = false;
  bool can_undo_ = false;
  bool read_ = false;
  bool rewritten_ = false;  // saved since the last Load
};

}  // namespace vistrel
