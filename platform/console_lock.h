// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "station/device.h"

namespace nimbrel {

// One owner per console: the window and every command that opens the USB console hold this lock
// while they use it. The system drops it when its holder ends, however it ends.
class ConsoleLock {
 public:
  ConsoleLock(const ConsoleLock&) = delete;
  ConsoleLock& operator=(const ConsoleLock&) = delete;
  ~ConsoleLock();

  // Whether this lock already stands for the console at `node`, so that taking it again (the same
  // console found again) would only shut its own holder out.
  bool Covers(const std::filesystem::path& node) const;

 private:
  friend struct ConsoleClaim;
  // A file descriptor, or a Windows file handle.
  explicit ConsoleLock(std::intptr_t file) : file_(file) {}
  std::intptr_t file_;
};

// The lock, or who holds it ("nimbrel-cli (pid 4242)"); neither when the lock could not be tried.
struct ConsoleClaim {
  std::unique_ptr<ConsoleLock> lock;
  std::string heldBy;

  // Takes the lock at `path` without waiting. On Linux `path` is the console's device node: the
  // lock is then the same whoever asks and whatever their environment, and nothing is created,
  // written or reached through a link.
  static ConsoleClaim Take(const std::filesystem::path& path);
};

// The file whose lock stands for the console at `node`: the node itself; on Windows, where the
// device cannot be locked so, %LOCALAPPDATA%\nimbrel\nimbrel-console.lock.
std::filesystem::path ConsoleLockPath(const std::string& node);

// Opens the console only under its lock: a console another program holds is not opened, and
// WhyOpenFailed says kBusy until a later Open succeeds. The lock is kept for as long as this
// backend lives or until another console is opened, so the same console found again stays ours.
class ClaimingBackend : public HidBackend {
 public:
  // `node`: the file to lock instead of each device path (the built-in console's stand-in).
  explicit ClaimingBackend(std::unique_ptr<HidBackend> inner,
                           std::optional<std::string> node = std::nullopt);

  std::vector<HidInterfaceInfo> Enumerate() override;
  std::unique_ptr<StationTransport> Open(const std::string& path) override;
  OpenFailure WhyOpenFailed(const std::string& path) override;
  std::string HeldBy(const std::string& path) override;

 private:
  std::unique_ptr<HidBackend> inner_;
  std::optional<std::string> node_;
  std::mutex mutex_;
  std::unique_ptr<ConsoleLock> held_;
  std::string busyWith_;  // who held the console at the last Open that found it taken
};

}  // namespace nimbrel
