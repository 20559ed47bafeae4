// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <fstream>
#include <sstream>

namespace nimbrel {

namespace {

template <typename Number>
std::string Digits(Number value, int base) {
  std::array<char, 24> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value, base);
  return std::string(text.data(), result.ptr);
}

// How /proc/locks names a file: the device of its file system in hex (two digits at least), then
// its inode.
std::string LockedFileId(const struct stat& file) {
  const auto hex = [](unsigned value) { return (value < 16 ? "0" : "") + Digits(value, 16); };
  return hex(major(file.st_dev)) + ":" + hex(minor(file.st_dev)) + ":" + Digits(file.st_ino, 10);
}

// The process holding an exclusive flock on `fd`'s file, as the system lists it.
std::optional<long> LockHolderPid(int fd) {
  struct stat file {};
  if (fstat(fd, &file) != 0) {
    return std::nullopt;
  }
  const std::string id = LockedFileId(file);
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, where;
    // Waiting claims are listed with "->" and hold nothing.
    if (fields >> number >> kind >> mode >> access >> pid >> where && kind == "FLOCK" &&
        where == id) {
      long value = 0;
      if (std::from_chars(pid.data(), pid.data() + pid.size(), value).ec == std::errc()) {
        return value;
      }
    }
  }
  return std::nullopt;
}

std::string HolderName(int fd) {
  const std::optional<long> pid = LockHolderPid(fd);
  if (!pid || *pid <= 0) {
    return "another program";
  }
  std::string name;
  std::getline(std::ifstream("/proc/" + std::to_string(*pid) + "/comm"), name);
  return (name.empty() ? "a program" : name) + " (pid " + std::to_string(*pid) + ")";
}

}  // namespace

ConsoleLock::~ConsoleLock() {
  close(static_cast<int>(file_));
}

bool ConsoleLock::Covers(const std::filesystem::path& node) const {
  struct stat held {};
  struct stat named {};
  return fstat(static_cast<int>(file_), &held) == 0 && lstat(node.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

ConsoleClaim ConsoleClaim::Take(const std::filesystem::path& path) {
  // Read-only, never created, never through a link; non-blocking so that a FIFO planted in its
  // place cannot hang the open.
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return {};
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ConsoleClaim busy{nullptr, HolderName(fd)};
    close(fd);
    return busy;
  }
  return {std::unique_ptr<ConsoleLock>(new ConsoleLock(fd)), {}};
}

std::filesystem::path ConsoleLockPath(const std::string& node) {
  return node;
}

}  // namespace nimbrel
