// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

namespace nimbrel {

// Owns one kernel handle and closes it. CreateFileW fails with INVALID_HANDLE_VALUE and
// CreateEventW with null: both count as no handle.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }
  ~UniqueHandle() { Close(); }

  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  void Close() {
    if (*this) {
      ::CloseHandle(handle_);
    }
    handle_ = nullptr;
  }

  HANDLE handle_ = nullptr;
};

}  // namespace nimbrel
