#pragma once
// One owner per handle: a movable, non-copyable wrapper that knows its kind's
// close call and invalid value.
#include <windows.h>

#include <utility>

namespace volantis::win32 {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { Close(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, Traits::Invalid());
    }
    return *this;
  }
  Handle get() const { return handle_; }
  bool valid() const { return handle_ != Traits::Invalid(); }
  explicit operator bool() const { return valid(); }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    Close();
    handle_ = handle;
  }

 private:
  void Close() {
    if (valid()) Traits::Close(std::exchange(handle_, Traits::Invalid()));
  }
  Handle handle_ = Traits::Invalid();
};

// Events, threads: CloseHandle, invalid value NULL.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
// Toolhelp snapshots and files: CloseHandle, invalid value INVALID_HANDLE_VALUE.
struct SnapshotHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
// Directory searches: FindClose, invalid value INVALID_HANDLE_VALUE.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};
// Registry keys: RegCloseKey, invalid value NULL.
struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueSnapshot = UniqueHandle<SnapshotHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;

}  // namespace volantis::win32
