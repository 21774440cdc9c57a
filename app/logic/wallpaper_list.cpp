#include "app/logic/wallpaper_list.h"

#include <algorithm>

#include "app/logic/image_files.h"
#include "common/list_file.h"
#include "platform/files.h"
#include "platform/text_compare.h"

namespace vistrel {

bool WallpaperListHost::FileExists(const std::string& path) {
  return vistrel::FileExists(path);
}

bool WallpaperListHost::ReadList(const std::string& path, std::vector<std::string>& lines) {
  return ReadListFile(path, lines);
}

void WallpaperListHost::Pause(unsigned milliseconds) {
  WaitMilliseconds(milliseconds);
}

int WallpaperListHost::CompareText(const std::string& a, const std::string& b) {
  return CompareTextIgnoreCase(a, b);
}

bool WallpaperList::Load(const std::string& list_path) {
  can_undo_ = false;
  undo_rows_.clear();
  rows_.clear();
  rows_.push_back(ListRow{kNoWallpaperText, "", kIconNoWallpaper, false, 0});
  rewritten_ = false;
  if (!host_.FileExists(list_path)) {
    EnsureListFile(list_path);
    read_ = true;
    return true;
  }
  std::vector<std::string> lines;
  read_ = false;
  for (int attempt = 0; attempt < kReadAttempts && !read_; ++attempt) {
    if (attempt > 0) host_.Pause(kReadPauseMs);
    read_ = host_.ReadList(list_path, lines);
  }
  if (!read_) return false;
  int line_number = 0;
  for (const std::string& line : lines) {
    ++line_number;
    // An empty line has neither letter nor path; keeping it would add a nameless row that the
    // next rewrite turns into the line "1".
    if (line.empty()) continue;
    ListEntry entry = ListEntry::FromLine(line);
    ListRow row;
    row.image = entry.path;
    row.style = StyleText(StyleForLetter(entry.StyleLetter));
    row.icon = host_.FileExists(row.image) ? kIconPicture : kIconMissingFile;
    row.file_line = line_number;
    rows_.push_back(row);
  }
  return true;
}

std::vector<std::string> WallpaperList::FileLines() const {
  std::vector<std::string> lines;
  for (const ListRow& row : rows_)
    if (!row.IsNoWallpaper())
      lines.push_back(std::string(1, LetterForStyleText(row.style)) + row.image);
  return lines;
}

bool WallpaperList::Save(const std::string& list_path) {
  if (!read_) return false;
  if (!WriteListFile(list_path, FileLines())) return false;
  rewritten_ = true;
  return true;
}

void WallpaperList::Select(std::size_t row, bool selected) {
  if (row < rows_.size()) rows_[row].selected = selected;
}

void WallpaperList::SelectAll() {
  for (ListRow& row : rows_) row.selected = true;
}

int WallpaperList::FirstSelected() const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].selected) return static_cast<int>(i);
  return -1;
}

std::size_t WallpaperList::AddRow(const std::string& image, const std::string& style) {
  std::size_t at = rows_.size();
  const bool ascending = order_ == SortOrder::Ascending;
  if (order_ != SortOrder::None && image_sorted_) {
    // Before the first row the new one goes before: in Image order, found by halves.
    const auto place = std::upper_bound(rows_.begin(), rows_.end(), image,
                                        [&](const std::string& text, const ListRow& row) {
                                          const int c = host_.CompareText(text, row.image);
                                          return ascending ? c < 0 : c > 0;
                                        });
    at = static_cast<std::size_t>(place - rows_.begin());
  } else if (order_ != SortOrder::None) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      int c = host_.CompareText(image, rows_[i].image);
      if (order_ == SortOrder::Ascending ? c < 0 : c > 0) {
        at = i;
        break;
      }
    }
  }
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at),
               ListRow{image, style, kIconPicture, false, 0});
  return at;
}

std::size_t WallpaperList::SelectedFileRows() const {
  return static_cast<std::size_t>(std::count_if(rows_.begin(), rows_.end(), [](const ListRow& row) {
    return row.selected && !row.IsNoWallpaper();
  }));
}

bool WallpaperList::DeleteSelected() {
  if (FirstSelected() < 0) return false;
  // One pass: erasing row by row costs the square of the list.
  for (ListRow& row : rows_)
    if (row.IsNoWallpaper()) row.selected = false;
  rows_.erase(
      std::remove_if(rows_.begin(), rows_.end(), [](const ListRow& row) { return row.selected; }),
      rows_.end());
  return true;
}

void WallpaperList::AddRows(
    const std::vector<std::pair<std::string, std::string>>& images_and_styles) {
  if (order_ == SortOrder::None || !image_sorted_) {
    for (const auto& [image, style] : images_and_styles) AddRow(image, style);
    return;
  }
  // Sorted, then merged: a stable merge puts each new row after the rows it equals, where one
  // AddRow after another would.
  const bool ascending = order_ == SortOrder::Ascending;
  auto goes_before = [&](const ListRow& a, const ListRow& b) {
    const int c = host_.CompareText(a.image, b.image);
    return ascending ? c < 0 : c > 0;
  };
  const auto old_size = static_cast<std::ptrdiff_t>(rows_.size());
  for (const auto& [image, style] : images_and_styles)
    rows_.push_back(ListRow{image, style, kIconPicture, false, 0});
  std::stable_sort(rows_.begin() + old_size, rows_.end(), goes_before);
  std::inplace_merge(rows_.begin(), rows_.begin() + old_size, rows_.end(), goes_before);
}

void WallpaperList::BeginEdit() {
  undo_rows_ = rows_;
  undo_order_ = order_;
  undo_image_sorted_ = image_sorted_;
  can_undo_ = true;
}

bool WallpaperList::Undo() {
  if (!can_undo_) return false;
  std::swap(rows_, undo_rows_);
  std::swap(order_, undo_order_);
  std::swap(image_sorted_, undo_image_sorted_);
  return true;
}

std::vector<std::size_t> WallpaperList::DeadRows() const {
  std::vector<std::size_t> dead;
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (!rows_[i].IsNoWallpaper() && !host_.FileExists(rows_[i].image)) dead.push_back(i);
  return dead;
}

void WallpaperList::SetSelectedStyle(const std::string& style) {
  for (ListRow& row : rows_)
    if (row.selected && !row.IsNoWallpaper()) row.style = style;
}

void WallpaperList::RemoveRows(const std::vector<std::size_t>& rows) {
  std::size_t next = 0, kept = 0;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const bool remove = next < rows.size() && rows[next] == i;
    if (remove) ++next;
    if (remove && !rows_[i].IsNoWallpaper()) continue;
    if (kept != i) rows_[kept] = std::move(rows_[i]);
    ++kept;
  }
  rows_.resize(kept);
}

void WallpaperList::SortByColumn(int column) {
  order_ = order_ == SortOrder::Ascending ? SortOrder::Descending : SortOrder::Ascending;
  image_sorted_ = column == 0;
  const bool ascending = order_ == SortOrder::Ascending;
  std::stable_sort(rows_.begin(), rows_.end(), [&](const ListRow& a, const ListRow& b) {
    const std::string& ta = column == 0 ? a.image : a.style;
    const std::string& tb = column == 0 ? b.image : b.style;
    int c = host_.CompareText(ta, tb);
    return ascending ? c < 0 : c > 0;
  });
}

ListMenuState WallpaperList::MenuState(const ListMenuState& previous) const {
  ListMenuState state = previous;
  std::size_t selected = 0;
  const ListRow* only = nullptr;
  for (const ListRow& row : rows_) {
    if (!row.selected) continue;
    ++selected;
    only = &row;
  }
  state.update_checks = false;
  if (selected == 0) {
    state.delete_enabled = state.style_enabled = false;
  } else if (selected == 1) {
    state.delete_enabled = state.style_enabled = true;
    if (!only->style.empty()) {
      state.update_checks = true;
      state.checked_style = only->style;
    }
    if (only->IsNoWallpaper()) state.delete_enabled = state.style_enabled = false;
  } else {
    state.delete_enabled = state.style_enabled = true;
    state.update_checks = true;
    state.checked_style.clear();
  }
  return state;
}

int WallpaperList::LastIndexForSelection() const {
  int first = FirstSelected();
  if (first <= 0) return -1;
  const ListRow& selected = rows_[static_cast<std::size_t>(first)];
  if (!rewritten_ && selected.file_line > 0) return selected.file_line;
  int count = 0;
  for (int i = 0; i <= first; ++i)
    if (!rows_[static_cast<std::size_t>(i)].IsNoWallpaper()) ++count;
  return count;
}

std::string WallpaperList::SelectedImage() const {
  int first = FirstSelected();
  return first < 0 ? std::string() : rows_[static_cast<std::size_t>(first)].image;
}

char WallpaperList::SelectedLetter() const {
  int first = FirstSelected();
  return LetterForStyleText(first < 0 ? std::string()
                                      : rows_[static_cast<std::size_t>(first)].style);
}

bool WallpaperList::AcceptsDroppedFile(const std::string& path) {
  return IsSupportedImage(path);
}

}  // namespace vistrel
