// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>
// windows.h first: the shell's header needs its types.
#include <shlobj.h>

#include <array>
#include <string>
#include <system_error>

#include "platform/console_lock.h"
#include "platform/win32_text.h"

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

// The user's local application data folder as the system knows it, whatever the environment says.
std::filesystem::path LocalAppData() {
  PWSTR folder = nullptr;
  std::filesystem::path path;
  if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder) == S_OK) {
    path = folder;
  }
  ::CoTaskMemFree(folder);
  return path;
}

// This program's name without its folder and ".exe".
std::string ProgramName() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  const std::string name = WideToUtf8(std::filesystem::path(path).stem().wstring());
  return name.empty() ? "nimbrel" : name;
}

}  // namespace

ConsoleLock::~ConsoleLock() {
  ::CloseHandle(AsHandle(file_));  // drops the lock
}

bool ConsoleLock::Covers(const std::filesystem::path&) const {
  return true;  // one lock file stands for every console
}

ConsoleClaim ConsoleClaim::Take(const std::filesystem::path& path) {
  if (path.empty()) {
    return {};
  }
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  // A link planted in the file's place is opened as itself, never followed.
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {};
  }
  if (!LockFile(file)) {
    ConsoleClaim busy{nullptr, ReadHolder(file)};
    ::CloseHandle(file);
    return busy;
  }
  WriteHolder(file, ProgramName() + " (pid " + std::to_string(::GetCurrentProcessId()) + ")\n");
  return {std::unique_ptr<ConsoleLock>(new ConsoleLock(reinterpret_cast<std::intptr_t>(file))), {}};
}

std::filesystem::path ConsoleLockPath(const std::string&) {
  // Never the temporary folder, where others may plant files: no folder, no lock file.
  const std::filesystem::path folder = LocalAppData();
  return folder.empty() ? folder : folder / L"nimbrel" / kLockName;
}

}  // namespace nimbrel
