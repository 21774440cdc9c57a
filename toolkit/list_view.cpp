#include "toolkit/list_view.h"

#include <windowsx.h>

#include "common/exception.h"
#include "platform/win32/wide.h"

namespace vistrel {

namespace {

void LoadListViewClassOnce() {
  static bool loaded = false;
  if (loaded) return;
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  loaded = true;
}

}  // namespace

// ---- ImageList

ImageList::ImageList(int width, int height)
    : images_(ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 4)),
      width_(width),
      height_(height) {
  if (!images_) VISTREL_CHECK_FAILED("ImageList_Create");
}

void ImageList::SetImageSize(int width, int height) {
  // Also empties the list.
  if (!ImageList_SetIconSize(images_.Get(), width, height))
    VISTREL_CHECK_FAILED("ImageList_SetIconSize");
  width_ = width;
  height_ = height;
}

namespace {

// The strip with each image scaled from its height to the list's size. Pixel by pixel (no
// blending), so that the mask colour stays exact and the edges stay hard.
UniqueBitmap ScaledStrip(HBITMAP strip, int width, int height) {
  BITMAP source = {};
  if (!GetObjectA(strip, sizeof source, &source) || source.bmHeight <= 0) return UniqueBitmap();
  const int count = source.bmWidth / source.bmHeight;
  if (count <= 0 || height == source.bmHeight) return UniqueBitmap();
  HDC screen = GetDC(nullptr);
  UniqueBitmap scaled(CreateCompatibleBitmap(screen, width * count, height));
  HDC from = CreateCompatibleDC(screen);
  HDC to = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (scaled && from && to) {
    HGDIOBJ old_from = SelectObject(from, strip);
    HGDIOBJ old_to = SelectObject(to, scaled.Get());
    SetStretchBltMode(to, COLORONCOLOR);
    for (int i = 0; i < count; ++i)
      StretchBlt(to, i * width, 0, width, height, from, i * source.bmHeight, 0, source.bmHeight,
                 source.bmHeight, SRCCOPY);
    SelectObject(from, old_from);
    SelectObject(to, old_to);
  }
  if (from) DeleteDC(from);
  if (to) DeleteDC(to);
  return scaled;
}

}  // namespace

int ImageList::AddBitmapResource(const char* name, COLORREF mask_colour) {
  UniqueBitmap bitmap(static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  if (!bitmap) VISTREL_CHECK_FAILED("LoadImageA");
  // The strip holds square images at one size; a list of another size gets them scaled.
  if (UniqueBitmap scaled = ScaledStrip(bitmap.Get(), width_, height_)) bitmap = std::move(scaled);
  int before = Count();
  if (ImageList_AddMasked(images_.Get(), bitmap.Get(), mask_colour) < 0)
    VISTREL_CHECK_FAILED("ImageList_AddMasked");
  return Count() - before;
}

int ImageList::Count() const {
  return ImageList_GetImageCount(images_.Get());
}

// ---- ListView

ListView::ListView(ControlParent parent, const ControlArgs& args) {
  LoadListViewClassOnce();
  DWORD style = WS_TABSTOP | WS_GROUP | LVS_REPORT | LVS_SHAREIMAGELISTS;
  if (!args.multi_select) style |= LVS_SINGLESEL;
  if (args.show_selection_always) style |= LVS_SHOWSELALWAYS;
  if (args.owner_data) style |= LVS_OWNERDATA;
  Create("SysListView32", style, WS_EX_CLIENTEDGE, parent, args);
  DWORD extended = 0;
  if (args.row_select) extended |= LVS_EX_FULLROWSELECT;
  if (args.info_tips) extended |= LVS_EX_INFOTIP;
  SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
}

int ListView::AddColumn(const std::string& caption, int width) {
  std::wstring text = Widen(caption) + L'\0';
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = &text[0];
  int index = ColumnCount();
  column.iSubItem = index;
  return static_cast<int>(SendMessageA(Handle(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(&column)));
}

int ListView::ColumnCount() const {
  HWND header = reinterpret_cast<HWND>(SendMessageA(Handle(), LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::string ListView::ColumnCaption(int column) const {
  wchar_t text[256] = L"";
  LVCOLUMNW info = {};
  info.mask = LVCF_TEXT;
  info.pszText = text;
  info.cchTextMax = sizeof text / sizeof *text;
  SendMessageW(Handle(), LVM_GETCOLUMNW, static_cast<WPARAM>(column),
               reinterpret_cast<LPARAM>(&info));
  return Narrow(text);
}

int ListView::ColumnWidth(int column) const {
  return static_cast<int>(
      SendMessageA(Handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void ListView::SetColumnWidth(int column, int width) {
  SendMessageA(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void ListView::SetSmallImages(const ImageList& images) {
  SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.Handle()));
}

int ListView::Count() const {
  return static_cast<int>(SendMessageA(Handle(), LVM_GETITEMCOUNT, 0, 0));
}

int ListView::InsertItem(int index, const std::string& text, int image) {
  std::wstring copy = Widen(text) + L'\0';
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = index;
  item.pszText = &copy[0];
  item.iImage = image;
  return static_cast<int>(
      SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::SetItemCount(int count) {
  SendMessageA(Handle(), LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
}

std::vector<int> ListView::SelectedItems() const {
  std::vector<int> items;
  for (int item = -1;;) {
    item = static_cast<int>(
        SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(item), LVNI_SELECTED));
    if (item < 0 || (!items.empty() && item <= items.back())) return items;
    items.push_back(item);
  }
}

void ListView::DeleteItem(int index) {
  SendMessageA(Handle(), LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

std::string ListView::ItemText(int item, int column) const {
  // The control copies at most the buffer's size; grow it until the text fits.
  for (std::size_t size = 256;; size *= 2) {
    std::wstring text(size, L'\0');
    LVITEMW info = {};
    info.iSubItem = column;
    info.pszText = &text[0];
    info.cchTextMax = static_cast<int>(size);
    LRESULT length = SendMessageW(Handle(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                                  reinterpret_cast<LPARAM>(&info));
    if (length < 0) return std::string();
    if (static_cast<std::size_t>(length) + 1 < size || size >= (1u << 24))
      return Narrow(text.data(), static_cast<std::size_t>(length));
  }
}

void ListView::SetItemText(int item, int column, const std::string& text) {
  std::wstring copy = Widen(text) + L'\0';
  LVITEMW info = {};
  info.iSubItem = column;
  info.pszText = &copy[0];
  SendMessageW(Handle(), LVM_SETITEMTEXTW, static_cast<WPARAM>(item),
               reinterpret_cast<LPARAM>(&info));
}

int ListView::ItemImage(int item) const {
  LVITEMA info = {};
  info.mask = LVIF_IMAGE;
  info.iItem = item;
  if (!SendMessageA(Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info))) return -1;
  return info.iImage;
}

void ListView::SetItemImage(int item, int image) {
  LVITEMA info = {};
  info.mask = LVIF_IMAGE;
  info.iItem = item;
  info.iImage = image;
  SendMessageA(Handle(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&info));
}

bool ListView::Selected(int item) const {
  return (SendMessageA(Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_SELECTED) &
          LVIS_SELECTED) != 0;
}

void ListView::SetSelected(int item, bool selected) {
  LVITEMA info = {};
  info.stateMask = LVIS_SELECTED;
  info.state = selected ? LVIS_SELECTED : 0;
  SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(item),
               reinterpret_cast<LPARAM>(&info));
}

int ListView::SelectedCount() const {
  return static_cast<int>(SendMessageA(Handle(), LVM_GETSELECTEDCOUNT, 0, 0));
}

RECT ListView::ItemBounds(int item) const {
  RECT bounds = {};
  bounds.left = LVIR_BOUNDS;
  if (!SendMessageA(Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(item),
                    reinterpret_cast<LPARAM>(&bounds)))
    bounds = RECT{0, 0, 0, 0};
  return bounds;
}

void ListView::SetSortStyle(ListSortStyle style) {
  LONG_PTR bits = GetWindowLongPtrA(Handle(), GWL_STYLE);
  bits &= ~static_cast<LONG_PTR>(LVS_SORTASCENDING | LVS_SORTDESCENDING);
  if (style == ListSortStyle::Ascending) bits |= LVS_SORTASCENDING;
  if (style == ListSortStyle::Descending) bits |= LVS_SORTDESCENDING;
  SetWindowLongPtrA(Handle(), GWL_STYLE, bits);
}

ListSortStyle ListView::SortStyle() const {
  LONG_PTR bits = GetWindowLongPtrA(Handle(), GWL_STYLE);
  if (bits & LVS_SORTASCENDING) return ListSortStyle::Ascending;
  if (bits & LVS_SORTDESCENDING) return ListSortStyle::Descending;
  return ListSortStyle::None;
}

void ListView::SetAcceptFiles(bool accept) {
  DragAcceptFiles(Handle(), accept ? TRUE : FALSE);
}

void ListView::SetRedraw(bool redraw) {
  SendMessageA(Handle(), WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
  if (redraw) InvalidateRect(Handle(), nullptr, TRUE);
}

bool ListView::OnNotify(NMHDR& header, LRESULT& result) {
  result = 0;
  switch (header.code) {
    case NM_DBLCLK:
    case NM_RDBLCLK:
      if (OnDoubleClick) {
        std::function<void()> event = OnDoubleClick;
        event();
      }
      return true;
    case LVN_GETDISPINFOW: {
      // The view asks in UTF-16: its parent is a Unicode window.
      auto& info = reinterpret_cast<NMLVDISPINFOW&>(header).item;
      if (!OnGetItem) return true;
      std::string text;
      int image = info.iImage;
      OnGetItem(info.iItem, info.iSubItem, text, image);
      if ((info.mask & LVIF_TEXT) && info.pszText && info.cchTextMax > 0)
        lstrcpynW(info.pszText, Widen(text).c_str(), info.cchTextMax);
      if (info.mask & LVIF_IMAGE) info.iImage = image;
      return true;
    }
    case LVN_COLUMNCLICK:
      if (OnColumnClick) {
        std::function<void(int)> event = OnColumnClick;
        event(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
      }
      return true;
    default: return false;
  }
}

POINT ListView::ContextMenuPoint(LPARAM lparam) const {
  POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (point.x != -1 || point.y != -1) return point;
  // From the keyboard the request carries no position: below the focused row, or the corner.
  point = POINT{0, 0};
  int focused = static_cast<int>(
      SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (focused >= 0) {
    RECT row = ItemBounds(focused);
    point = POINT{row.left + 16, row.bottom};
  }
  ClientToScreen(Handle(), &point);
  return point;
}

void ListView::DropFiles(HDROP drop_handle) {
  std::vector<std::string> paths;
  {
    UniqueDrop drop(drop_handle);
    UINT count = DragQueryFileW(drop.Get(), 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      UINT length = DragQueryFileW(drop.Get(), i, nullptr, 0);
      std::vector<wchar_t> path(static_cast<std::size_t>(length) + 1, L'\0');
      DragQueryFileW(drop.Get(), i, path.data(), length + 1);
      paths.push_back(Narrow(path.data()));
    }
  }
  if (OnDropFiles) {
    std::function<void(const std::vector<std::string>&)> event = OnDropFiles;
    event(paths);
  }
}

bool ListView::OnMessage(WindowMessage& message) {
  switch (message.message) {
    case WM_CONTEXTMENU:
      if (!OnContextMenu) return false;
      {
        std::function<void(POINT)> event = OnContextMenu;
        event(ContextMenuPoint(message.lparam));
      }
      message.result = 0;
      return true;
    case WM_DROPFILES:
      DropFiles(reinterpret_cast<HDROP>(message.wparam));
      message.result = 0;
      return true;
    case WM_KEYDOWN:
      if (!OnKeyDown) return false;
      {
        std::function<bool(WPARAM)> event = OnKeyDown;
        if (!event(message.wparam)) return false;
      }
      message.result = 0;
      return true;
    default: return false;
  }
}

}  // namespace vistrel
