// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "station/transport.h"

namespace nimbrel {

inline constexpr std::uint16_t kStationVendorId = 0x1941;
inline constexpr std::uint16_t kStationProductId = 0x8021;
inline constexpr std::uint16_t kStationUsagePage = 0xFF00;
inline constexpr std::uint16_t kStationUsage = 1;

// One HID interface (top-level collection) as the system lists it.
struct HidInterfaceInfo {
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
};

// The console's protocol interface among the listed ones: the first in list order with the
// console's identity and its vendor-defined collection. Other collections are passed over.
std::optional<std::size_t> ChooseStationInterface(std::span<const HidInterfaceInfo> interfaces);

// Why a listed interface could not be opened. kPermission is worth telling the user about: the
// console is there, and only the system's device permissions keep the program from it. kBusy:
// another program holds the console.
enum class OpenFailure { kNone, kPermission, kBusy, kOther };

// Lists and opens HID interfaces; the platform provides it (hidapi, or a simulated console).
class HidBackend {
 public:
  virtual ~HidBackend() = default;
  virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
  // Opens an interface for reading and writing; nullptr when it cannot be opened.
  virtual std::unique_ptr<StationTransport> Open(const std::string& path) = 0;
  // Why Open(path) just returned nullptr. Backends that cannot tell say kOther.
  virtual OpenFailure WhyOpenFailed(const std::string& /*path*/) { return OpenFailure::kOther; }
  // Who holds the console when WhyOpenFailed says kBusy ("nimbrel (pid 4242)").
  virtual std::string HeldBy(const std::string& /*path*/) { return {}; }
};

// The console as the rest of the program sees it, for the whole run. FindStation may put a new
// handle in place while a reader uses the device: each call works on the handle it started with.
class StationDevice : public StationTransport {
 public:
  explicit StationDevice(HidBackend& backend);

  // Looks for the console and opens it. True when its interface was found, even when opening it
  // failed (the handle is then invalid and the reader idles until a later find succeeds).
  bool FindStation();

  // Closes the handle, if any.
  void CloseStation();

  bool Found() const;

  // Why the last FindStation that found the console could not open it; kNone when it opened or
  // when the console was not there.
  OpenFailure LastOpenFailure() const;
  // Who held the console when LastOpenFailure is kBusy.
  std::string HeldBy() const;

  ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override;
  bool WriteCommand(const StationCommand& command) override;
  bool IsValid() const override;

 private:
  std::shared_ptr<StationTransport> Current() const;

  HidBackend& backend_;
  mutable std::mutex mutex_;
  std::shared_ptr<StationTransport> handle_;
  bool found_ = false;
  OpenFailure openFailure_ = OpenFailure::kNone;
  std::string heldBy_;
};

// Whether a device path names the console: a Windows interface path ("vid_1941&pid_8021"), a
// Linux sysfs path (":1941:8021") or a HID_ID ("0003:00001941:00008021"), in any case.
bool IsStationDevicePath(std::string_view path);

enum class DeviceEvent { kArrival, kRemoval, kOther };

// One arrival or removal of a device, with the path the system names it by.
struct DeviceNotification {
  DeviceEvent event = DeviceEvent::kOther;
  std::string path;
};

// What a device notification means for the link; the receiver of WM_LINK_STATE.
class LinkStateSink {
 public:
  static constexpr int kConnected = 4;
  static constexpr int kGone = 5;
  virtual ~LinkStateSink() = default;
  virtual void LinkState(int state) = 0;  // WM_LINK_STATE
};

// Arrival of the console (found again): LinkState(4); its removal: LinkState(5); anything else,
// or another device: nothing.
void OnDeviceChange(DeviceEvent event, std::string_view path, StationDevice& device,
                    LinkStateSink& sink);

}  // namespace nimbrel
