// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <array>
#include <string>
#include <system_error>

#include "platform/console_lock.h"

namespace nimbrel {
namespace {

constexpr std::wstring_view kLockName = L"nimbrel-console.lock";
// The lock covers one byte far past the holder's name, so that a second claimant can still read
// the name: Windows keeps others from reading a locked range.
constexpr DWORD kLockedByteHigh = 0x7FFFFFFF;

HANDLE AsHandle(std::intptr_t file) {
  return reinterpret_cast<HANDLE>(file);
}

std::string ReadHolder(HANDLE file) {
  std::array<char, 256> text{};
  OVERLAPPED at{};
  DWORD size = 0;
  if (!::ReadFile(file, text.data(), static_cast<DWORD>(text.size() - 1), &size, &at)) {
    size = 0;
  }
  std::string holder(text.data(), size);
  while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\0')) {
    holder.pop_back();
  }
  return holder.empty() ? "another program" : holder;
}

bool LockFile(HANDLE file) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockedByteHigh;
  return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

void WriteHolder(HANDLE file, const std::string& holder) {
  OVERLAPPED at{};
  DWORD written = 0;
  // The lock holds all the same when this fails; only its holder's name is missing.
  if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && ::SetEndOfFile(file)) {
    ::WriteFile(file, holder.data(), static_cast<DWORD>(holder.size()), &written, &at);
  }
}

std::wstring Environment(const wchar_t* name) {
  std::wstring value(MAX_PATH, L'\0');
  DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
  if (length >= value.size()) {
    value.resize(length);
    length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
  }
  value.resize(length < value.size() ? length : 0);
  return value;
}

}  // namespace

ConsoleLock::~ConsoleLock() {
  ::CloseHandle(AsHandle(file_));  // drops the lock
}

ConsoleClaim ConsoleClaim::Take(const std::filesystem::path& path, std::string_view program) {
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {nullptr, "nobody: the lock file " + path.string() + " cannot be opened"};
  }
  if (!LockFile(file)) {
    ConsoleClaim busy{nullptr, ReadHolder(file)};
    ::CloseHandle(file);
    return busy;
  }
  WriteHolder(file,
              std::string(program) + " (pid " + std::to_string(::GetCurrentProcessId()) + ")\n");
  return {std::unique_ptr<ConsoleLock>(new ConsoleLock(reinterpret_cast<std::intptr_t>(file))), {}};
}

std::filesystem::path ConsoleLockPath() {
  std::wstring folder = Environment(L"LOCALAPPDATA");
  if (folder.empty()) {
    std::error_code ignored;
    folder = std::filesystem::temp_directory_path(ignored).wstring();
  }
  return std::filesystem::path(folder) / L"nimbrel" / kLockName;
}

}  // namespace nimbrel
