// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <system_error>

namespace nimbrel {

namespace {

constexpr std::string_view kLockName = "nimbrel-console.lock";

std::string ReadHolder(int fd) {
  std::array<char, 256> text{};
  const ssize_t size = pread(fd, text.data(), text.size() - 1, 0);
  std::string holder(text.data(), size > 0 ? static_cast<std::size_t>(size) : 0);
  while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\0')) {
    holder.pop_back();
  }
  return holder.empty() ? "another program" : holder;
}

}  // namespace

ConsoleLock::~ConsoleLock() {
  close(static_cast<int>(file_));
}

ConsoleClaim ConsoleClaim::Take(const std::filesystem::path& path, std::string_view program) {
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    return {nullptr, "nobody: the lock file " + path.string() + " cannot be opened"};
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ConsoleClaim busy{nullptr, ReadHolder(fd)};
    close(fd);
    return busy;
  }
  const std::string holder = std::string(program) + " (pid " + std::to_string(getpid()) + ")\n";
  if (ftruncate(fd, 0) != 0 || pwrite(fd, holder.data(), holder.size(), 0) < 0) {
    // The lock holds all the same; only its holder's name is missing.
  }
  return {std::unique_ptr<ConsoleLock>(new ConsoleLock(fd)), {}};
}

std::filesystem::path ConsoleLockPath() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
    return std::filesystem::path(runtime) / kLockName;
  }
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config) {
    return std::filesystem::path(config) / "nimbrel" / kLockName;
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "/tmp") / ".config" / "nimbrel" / kLockName;
}

}  // namespace nimbrel
