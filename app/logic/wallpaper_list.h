// The configuration window's wallpaper list as rows and a selection. The list view only shows
// this model; every edit that changes rows or their order is followed by Save.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
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

class WallpaperList {
 public:
  using ExistsFn = std::function<bool(const std::string&)>;
  using CompareFn = std::function<int(const std::string&, const std::string&)>;

  WallpaperList(ExistsFn exists, CompareFn compare);

  const std::vector<ListRow>& Rows() const { return rows_; }
  SortOrder Order() const { return order_; }

  // The "No Wallpaper" row, then one row per line of the file, which is created empty when
  // missing. Empty lines (hand-edited files) carry no picture and are left out.
  void Load(const std::string& list_path);
  // The lines the list file holds: every row but "No Wallpaper", in row order.
  std::vector<std::string> FileLines() const;
  bool Save(const std::string& list_path) const;

  void Select(std::size_t row, bool selected);
  void SelectOnly(std::size_t row);
  void SelectAll();
  int FirstSelected() const;  // -1 when none

  // A new row with icon 0; where the list was sorted, it goes to its sorted place by Image text.
  std::size_t AddRow(const std::string& image, const std::string& style);
  // False (and nothing changed) when no row is selected. "No Wallpaper" is only unselected.
  bool DeleteSelected();
  void SetSelectedStyle(const std::string& style);
  void RemoveDeadEntries();
  // Sorts by the column's text (0 Image, 1 Style), toggling the direction on every call.
  void SortByColumn(int column);

  ListMenuState MenuState(const ListMenuState& previous) const;

  // Where the window's OK stores the agent's position: the number of file rows up to and
  // including the first selected row, or -1 (nothing to write) when that row is the top one or
  // none is selected.
  int LastIndexForSelection() const;

  // The first selected row's Image text (empty without a selection) and its style letter.
  std::string SelectedImage() const;
  char SelectedLetter() const;

  // The exact-case extension test for dropped files.
  static bool AcceptsDroppedFile(const std::string& path);

 private:
  ExistsFn exists_;
  CompareFn compare_;
  std::vector<ListRow> rows_;
  SortOrder order_ = SortOrder::None;
};

}  // namespace vistrel
