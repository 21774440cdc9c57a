// Owning wrappers for Win32 handles: one template, one alias per kind of handle.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <utility>

namespace vistrel {

// How one kind of handle is released, and which value means "none". The function's own return
// value is ignored: there is nothing to do when releasing fails.
template <typename HandleType, auto kFree>
struct HandleTraits {
  using Handle = HandleType;
  static Handle Empty() { return nullptr; }
  static void Free(Handle handle) { kFree(handle); }
};

// CreateFile reports failure as INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static void Free(Handle handle) { CloseHandle(handle); }
};

// Owns one handle and releases it once. Moving hands the handle over and leaves the source empty;
// copying is not possible.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Empty(); }

  // For functions that return the handle through a pointer (RegOpenKeyExA and the like).
  Handle* Receive() {
    Reset();
    return &handle_;
  }

  Handle Release() { return std::exchange(handle_, Traits::Empty()); }

  void Reset(Handle handle = Traits::Empty()) {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::Empty()) Traits::Free(old);
  }

 private:
  Handle handle_ = Traits::Empty();
};

using UniqueKernelHandle = UniqueHandle<HandleTraits<HANDLE, &CloseHandle>>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKey = UniqueHandle<HandleTraits<HKEY, &RegCloseKey>>;
using UniqueIcon = UniqueHandle<HandleTraits<HICON, &DestroyIcon>>;
using UniqueMenu = UniqueHandle<HandleTraits<HMENU, &DestroyMenu>>;
using UniqueFont = UniqueHandle<HandleTraits<HFONT, &DeleteObject>>;
using UniqueBitmap = UniqueHandle<HandleTraits<HBITMAP, &DeleteObject>>;
using UniqueImageList = UniqueHandle<HandleTraits<HIMAGELIST, &ImageList_Destroy>>;
using UniqueDrop = UniqueHandle<HandleTraits<HDROP, &DragFinish>>;

}  // namespace vistrel
