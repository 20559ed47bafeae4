// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/device.h"

#include <algorithm>
#include <utility>

namespace nimbrel {

std::optional<std::size_t> ChooseStationInterface(std::span<const HidInterfaceInfo> interfaces) {
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    const HidInterfaceInfo& candidate = interfaces[i];
    if (candidate.vendorId == kStationVendorId && candidate.productId == kStationProductId &&
        candidate.usagePage == kStationUsagePage && candidate.usage == kStationUsage) {
      return i;
    }
  }
  return std::nullopt;
}

StationDevice::StationDevice(HidBackend& backend) : backend_(backend) {}

bool StationDevice::FindStation() {
  const std::vector<HidInterfaceInfo> interfaces = backend_.Enumerate();
  const std::optional<std::size_t> chosen = ChooseStationInterface(interfaces);
  if (!chosen) {
    std::lock_guard lock(mutex_);
    found_ = false;
    openFailure_ = OpenFailure::kNone;
    return false;
  }
  const std::string& path = interfaces[*chosen].path;
  std::shared_ptr<StationTransport> opened = backend_.Open(path);
  const OpenFailure failure = opened ? OpenFailure::kNone : backend_.WhyOpenFailed(path);
  std::string heldBy = failure == OpenFailure::kBusy ? backend_.HeldBy(path) : std::string();
  std::lock_guard lock(mutex_);
  handle_ = std::move(opened);
  found_ = true;
  openFailure_ = failure;
  heldBy_ = std::move(heldBy);
  return true;
}

void StationDevice::CloseStation() {
  std::lock_guard lock(mutex_);
  found_ = false;
  handle_.reset();
}

bool StationDevice::Found() const {
  std::lock_guard lock(mutex_);
  return found_;
}

OpenFailure StationDevice::LastOpenFailure() const {
  std::lock_guard lock(mutex_);
  return openFailure_;
}

std::string StationDevice::HeldBy() const {
  std::lock_guard lock(mutex_);
  return heldBy_;
}

std::shared_ptr<StationTransport> StationDevice::Current() const {
  std::lock_guard lock(mutex_);
  return handle_;
}

ReadResult StationDevice::ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) {
  const auto handle = Current();
  return handle ? handle->ReadFrame(frame, timeout) : ReadResult::kError;
}

bool StationDevice::WriteCommand(const StationCommand& command) {
  const auto handle = Current();
  return handle && handle->WriteCommand(command);
}

bool StationDevice::IsValid() const {
  const auto handle = Current();
  return handle && handle->IsValid();
}

bool IsStationDevicePath(std::string_view path) {
  // ASCII lower-casing on purpose: the user's locale must not change what matches.
  std::string lower(path);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  for (const std::string_view form :
       {"vid_1941&pid_8021", ":1941:8021", "0003:00001941:00008021"}) {
    if (lower.find(form) != std::string::npos) {
      return true;
    }
  }
  return false;
}

void OnDeviceChange(DeviceEvent event, std::string_view path, StationDevice& device,
                    LinkStateSink& sink) {
  if (event == DeviceEvent::kOther || !IsStationDevicePath(path)) {
    return;
  }
  if (event == DeviceEvent::kRemoval) {
    sink.LinkState(LinkStateSink::kGone);
  } else if (device.FindStation()) {
    sink.LinkState(LinkStateSink::kConnected);
  }
}

}  // namespace nimbrel
