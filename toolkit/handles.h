// Owning wrappers for Win32 handles: one template, one alias per kind of handle.
#pragma once

#include <windows.h>

#include <utility>

namespace vistrel {

// Owns a handle and releases it with Free; moves only. Empty is `Empty` (null for most kinds).
template <typename Handle, BOOL(WINAPI* Free)(Handle), Handle Empty = nullptr>
class UniqueHandle {
 public:
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
  explicit operator bool() const { return handle_ != Empty; }

  Handle Release() { return std::exchange(handle_, Empty); }

  void Reset(Handle handle = Empty) {
    Handle old = std::exchange(handle_, handle);
    if (old != Empty) Free(old);
  }

 private:
  Handle handle_ = Empty;
};

using UniqueIcon = UniqueHandle<HICON, DestroyIcon>;
using UniqueMenu = UniqueHandle<HMENU, DestroyMenu>;
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;

}  // namespace vistrel
