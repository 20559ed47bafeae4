// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hidapi_backend.h"

#include <hidapi.h>

#if defined(__linux__)
#include <unistd.h>

#include <cerrno>
#endif

#include <atomic>
#include <optional>

#include "platform/timed_writer.h"

namespace nimbrel {

namespace {

// One opened console. hidapi hands over the 64 data bytes of a report without its report ID,
// so the frame gets a 0 in byte 0 and the data after it.
class HidapiTransport : public StationTransport {
 public:
  explicit HidapiTransport(hid_device* device)
      : device_(device), writer_([this](const StationCommand& command) {
          return hid_write(device_, command.data(), command.size()) ==
                 static_cast<int>(command.size());
        }) {}

  ~HidapiTransport() override {
    // The writer goes first: it may still be inside hid_write.
    writer_.reset();
    hid_close(device_);
  }

  ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override {
    frame[0] = 0;
    const int read = hid_read_timeout(device_, frame.data() + 1, frame.size() - 1,
                                      static_cast<int>(timeout.count()));
    if (read < 0) {
      failed_ = true;
      return ReadResult::kError;
    }
    return read == 0 ? ReadResult::kTimeout : ReadResult::kFrame;
  }

  bool WriteCommand(const StationCommand& command) override {
    return writer_->Write(command, kWriteTimeout);
  }

  // A handle whose reads fail (the console was pulled) is of no more use.
  bool IsValid() const override { return !failed_; }

 private:
  hid_device* device_;
  std::optional<TimedWriter> writer_;
  std::atomic<bool> failed_{false};
};

}  // namespace

HidapiBackend::HidapiBackend() {
  // hidapi wants one initialisation before any thread opens a device.
  hid_init();
}

HidapiBackend::~HidapiBackend() {
  hid_exit();
}

std::vector<HidInterfaceInfo> HidapiBackend::Enumerate() {
  std::vector<HidInterfaceInfo> interfaces;
  hid_device_info* list = hid_enumerate(0, 0);
  for (const hid_device_info* info = list; info != nullptr; info = info->next) {
    interfaces.push_back({info->path ? info->path : "", info->vendor_id, info->product_id,
                          info->usage_page, info->usage});
  }
  hid_free_enumeration(list);
  return interfaces;
}

std::unique_ptr<StationTransport> HidapiBackend::Open(const std::string& path) {
  hid_device* device = hid_open_path(path.c_str());
  if (device == nullptr) {
    return nullptr;
  }
  return std::make_unique<HidapiTransport>(device);
}

OpenFailure HidapiBackend::WhyOpenFailed(const std::string& path) {
#if defined(__linux__)
  // hidapi keeps open()'s errno to itself; asking about the hidraw node again tells a missing
  // permission apart from a console that went away or is held by another program.
  if (access(path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
    return OpenFailure::kPermission;
  }
#else
  (void)path;
#endif
  return OpenFailure::kOther;
}

}  // namespace nimbrel
