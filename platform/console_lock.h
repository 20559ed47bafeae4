// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace nimbrel {

// One owner per console: the window and the station service each hold this lock while they may
// open the console. The system drops it when its holder ends, however it ends.
class ConsoleLock {
 public:
  ConsoleLock(const ConsoleLock&) = delete;
  ConsoleLock& operator=(const ConsoleLock&) = delete;
  ~ConsoleLock();

 private:
  friend struct ConsoleClaim;
  // A file descriptor, or a Windows file handle.
  explicit ConsoleLock(std::intptr_t file) : file_(file) {}
  std::intptr_t file_;
};

// The lock, or who holds it ("nimbrel-cli serve (pid 4242)").
struct ConsoleClaim {
  std::unique_ptr<ConsoleLock> lock;
  std::string heldBy;

  // Takes the lock at `path` for `program` without waiting.
  static ConsoleClaim Take(const std::filesystem::path& path, std::string_view program);
};

// $XDG_RUNTIME_DIR/nimbrel-console.lock, or the same name in ~/.config/nimbrel when the runtime
// folder is not set; on Windows %LOCALAPPDATA%\nimbrel\nimbrel-console.lock.
std::filesystem::path ConsoleLockPath();

}  // namespace nimbrel
