// SPDX-License-Identifier: GPL-3.0-or-later
#include <utility>

#include "platform/console_lock.h"

namespace nimbrel {

ClaimingBackend::ClaimingBackend(std::unique_ptr<HidBackend> inner, std::optional<std::string> node)
    : inner_(std::move(inner)), node_(std::move(node)) {}

std::vector<HidInterfaceInfo> ClaimingBackend::Enumerate() {
  return inner_->Enumerate();
}

std::unique_ptr<StationTransport> ClaimingBackend::Open(const std::string& path) {
  const std::filesystem::path lockPath = ConsoleLockPath(node_.value_or(path));
  {
    std::lock_guard lock(mutex_);
    busyWith_.clear();
    if (!held_ || !held_->Covers(lockPath)) {
      ConsoleClaim claim = ConsoleClaim::Take(lockPath);
      if (!claim.lock) {
        // Taken by another, or not to be opened at all (the backend below tells why).
        busyWith_ = std::move(claim.heldBy);
        return nullptr;
      }
      held_ = std::move(claim.lock);  // a console that went away is no longer ours to keep
    }
  }
  return inner_->Open(path);
}

OpenFailure ClaimingBackend::WhyOpenFailed(const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    if (!busyWith_.empty()) {
      return OpenFailure::kBusy;
    }
  }
  return inner_->WhyOpenFailed(path);
}

std::string ClaimingBackend::HeldBy(const std::string&) {
  std::lock_guard lock(mutex_);
  return busyWith_;
}

}  // namespace nimbrel
