// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings_files.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel {
namespace {

constexpr mode_t kFileMode = 0600;
constexpr mode_t kDirectoryMode = 0700;

// Closes the descriptor it owns.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Value names come from the store, but a name must never reach outside the folder.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool ReadAll(int fd, std::span<std::byte> destination, std::size_t& count) {
  count = 0;
  while (count < destination.size()) {
    const ssize_t got = ::read(fd, destination.data() + count, destination.size() - count);
    if (got == 0) {
      return true;
    }
    if (got < 0 && errno != EINTR) {
      return false;
    }
    count += got > 0 ? static_cast<std::size_t>(got) : 0;
  }
  return true;
}

bool WriteAll(int fd, std::span<const std::byte> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno != EINTR) {
      return false;
    }
    done += put > 0 ? static_cast<std::size_t>(put) : 0;
  }
  return true;
}

// Creates every missing folder of `directory`, each for its owner only.
bool MakeDirectories(const std::filesystem::path& directory) {
  std::filesystem::path partial;
  for (const auto& element : directory) {
    partial /= element;
    if (partial == partial.root_path()) {
      continue;
    }
    if (::mkdir(partial.c_str(), kDirectoryMode) != 0 && errno != EEXIST) {
      return false;
    }
  }
  struct stat info {};
  return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteTemporaryFile(const FileDescriptor& file, std::span<const std::byte> bytes) {
  return ::fchmod(file.Get(), kFileMode) == 0 && WriteAll(file.Get(), bytes) &&
         ::fsync(file.Get()) == 0;
}

// Makes a finished rename survive a power cut; the value is written even if this fails.
void SyncDirectory(const std::filesystem::path& directory) {
  const FileDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) {
    ::fsync(folder.Get());
  }
}

}  // namespace

std::optional<std::filesystem::path> SettingsDirectory(const char* xdgConfigHome,
                                                       const char* home) {
  std::filesystem::path config;
  // A relative XDG_CONFIG_HOME is invalid and ignored, like an unset one.
  if (xdgConfigHome != nullptr && std::filesystem::path(xdgConfigHome).is_absolute()) {
    config = xdgConfigHome;
  } else if (home != nullptr && *home != '\0') {
    config = std::filesystem::path(home) / ".config";
  } else {
    return std::nullopt;
  }
  return config / "Veltrane" / "VID_1941&PID_8021";
}

std::optional<std::filesystem::path> UserSettingsDirectory() {
  return SettingsDirectory(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::optional<std::size_t> FileSettingsBackend::ReadValue(std::string_view name,
                                                          std::span<std::byte> destination) const {
  if (directory_.empty() || !IsPlainName(name)) {
    return std::nullopt;
  }
  const auto path = directory_ / name;
  // O_NONBLOCK: a FIFO in place of a value must not hang the user-interface thread.
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (!file.Valid() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uintmax_t>(info.st_size) > destination.size()) {
    return std::nullopt;
  }
  std::size_t count = 0;
  if (!ReadAll(file.Get(), destination, count)) {
    return std::nullopt;
  }
  return count;
}

bool FileSettingsBackend::WriteValue(std::string_view name, std::span<const std::byte> bytes) {
  if (directory_.empty() || !IsPlainName(name) || !MakeDirectories(directory_)) {
    return false;
  }
  const auto target = directory_ / name;
  // The temporary file sits in the same folder so that the rename cannot cross file systems.
  std::string temporary = (directory_ / ("." + std::string(name) + ".XXXXXX")).string();
  FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!file.Valid()) {
    return false;
  }
  const bool written = WriteTemporaryFile(file, bytes) && file.Close() &&
                       ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!written) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncDirectory(directory_);
  return true;
}

}  // namespace nimbrel
