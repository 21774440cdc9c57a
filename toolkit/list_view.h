// The list view in report mode, and the image list that gives its rows their icons.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/controls.h"

namespace vistrel {

// An image list of equal-sized images; moves only (a moved-from list has no handle).
class ImageList {
 public:
  ImageList(int width, int height);
  ImageList(ImageList&&) noexcept = default;
  ImageList& operator=(ImageList&&) noexcept = default;

  // Cuts a bitmap resource of this module into images side by side; pixels of the mask colour
  // are transparent. Returns how many images it added.
  // Images of another height than the list's are scaled to its size.
  int AddBitmapResource(const char* name, COLORREF mask_colour);
  int Count() const;
  HIMAGELIST Handle() const { return images_.Get(); }
  // A new size for the images, at a new DPI: the list is emptied.
  void SetImageSize(int width, int height);

 private:
  UniqueImageList images_;
  int width_;
  int height_;
};

enum class ListSortStyle : std::uint8_t { None, Ascending, Descending };

class ListView : public Control {
 public:
  ListView(ControlParent parent, const ControlArgs& args);

  // A left-aligned column at the end; returns its index.
  int AddColumn(const std::string& caption, int width);
  int ColumnCount() const;
  std::string ColumnCaption(int column) const;
  int ColumnWidth(int column) const;
  void SetColumnWidth(int column, int width);

  // The list view only borrows the images; they must outlive it.
  void SetSmallImages(const ImageList& images);

  int Count() const;
  // Owner data: how many rows there are; all are shown anew.
  void SetItemCount(int count);
  // The selected rows, in order.
  std::vector<int> SelectedItems() const;
  // Inserts a row (its first column's text and icon) and returns where it went: with a sorted
  // style the control places it by its text.
  int InsertItem(int index, const std::string& text, int image);
  void DeleteItem(int index);
  std::string ItemText(int item, int column) const;
  void SetItemText(int item, int column, const std::string& text);
  int ItemImage(int item) const;
  void SetItemImage(int item, int image);
  bool Selected(int item) const;
  void SetSelected(int item, bool selected);
  int SelectedCount() const;
  // In the list view's client coordinates; empty for a row that does not exist.
  RECT ItemBounds(int item) const;

  // Rows inserted later go to their place by the first column's text.
  void SetSortStyle(ListSortStyle style);
  ListSortStyle SortStyle() const;

  // Files dragged from the shell may be dropped on it (OnDropFiles).
  void SetAcceptFiles(bool accept);
  // Stops and restarts painting around many changes.
  void SetRedraw(bool redraw);

  // A double-click with the left or the right button.
  std::function<void()> OnDoubleClick;
  std::function<void(int column)> OnColumnClick;
  // The platform's context-menu request (right-click, menu key, Shift+F10), at the screen
  // position it gives; a request from the keyboard gives the focused row's or the list's corner.
  std::function<void(POINT screen)> OnContextMenu;
  // The dropped files' paths in the order the platform reports them.
  std::function<void(const std::vector<std::string>& paths)> OnDropFiles;
  // A key pressed in the list; true when it was used (the list then ignores it).
  std::function<bool(WPARAM key)> OnKeyDown;
  // Owner data: a row's text in a column and, for column 0, its icon.
  std::function<void(int item, int column, std::string& text, int& image)> OnGetItem;

 protected:
  bool OnNotify(NMHDR& header, LRESULT& result) override;
  bool OnMessage(WindowMessage& message) override;

 private:
  POINT ContextMenuPoint(LPARAM lparam) const;
  void DropFiles(HDROP drop);
};

}  // namespace vistrel
