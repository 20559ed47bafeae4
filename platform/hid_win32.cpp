// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hid_win32.h"

#include <cstddef>
#include <cwchar>
#include <optional>

#include "platform/overlapped_transport.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"

// After windows.h, which they need.
// mingw-w64's HID header does not declare its functions extern "C".
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>

namespace nimbrel {

namespace {

// The present HID interfaces, destroyed when the listing is done.
class InterfaceSet {
 public:
  explicit InterfaceSet(const GUID& hidClass)
      : set_(::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr,
                                    DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
  InterfaceSet(const InterfaceSet&) = delete;
  InterfaceSet& operator=(const InterfaceSet&) = delete;
  ~InterfaceSet() {
    if (Valid()) {
      ::SetupDiDestroyDeviceInfoList(set_);
    }
  }

  bool Valid() const { return set_ != INVALID_HANDLE_VALUE; }
  HDEVINFO Get() const { return set_; }

 private:
  HDEVINFO set_;
};

// The HID class driver's description of a collection, freed after the capabilities are read.
class PreparsedData {
 public:
  explicit PreparsedData(HANDLE device) {
    if (!::HidD_GetPreparsedData(device, &data_)) {
      data_ = nullptr;
    }
  }
  PreparsedData(const PreparsedData&) = delete;
  PreparsedData& operator=(const PreparsedData&) = delete;
  ~PreparsedData() {
    if (data_ != nullptr) {
      ::HidD_FreePreparsedData(data_);
    }
  }

  PHIDP_PREPARSED_DATA Get() const { return data_; }

 private:
  PHIDP_PREPARSED_DATA data_ = nullptr;
};

// The device path of one interface: the detail record's size is asked for first.
std::optional<std::wstring> InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& entry) {
  DWORD size = 0;
  ::SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr);
  constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
  if (size <= kPathOffset) {
    return std::nullopt;
  }
  // DWORDs, so that the record is aligned as its cbSize field wants.
  std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
  // The fixed part's size, not the whole record's.
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!::SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, nullptr)) {
    return std::nullopt;
  }
  const std::size_t maxChars = (size - kPathOffset) / sizeof(wchar_t);
  return std::wstring(detail->DevicePath, ::wcsnlen(detail->DevicePath, maxChars));
}

// Usage page and usage of the interface's top-level collection; zero when they cannot be read.
void ReadUsage(HANDLE query, HidInterfaceInfo& info) {
  const PreparsedData data(query);
  HIDP_CAPS caps{};
  if (data.Get() != nullptr && ::HidP_GetCaps(data.Get(), &caps) == HIDP_STATUS_SUCCESS) {
    info.usagePage = caps.UsagePage;
    info.usage = caps.Usage;
  }
}

// One interface as listed, or nothing when it cannot be opened for queries or tell its identity.
std::optional<HidInterfaceInfo> DescribeInterface(const std::wstring& path) {
  // No access asked: queries work while another program holds the device.
  const UniqueHandle query(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
  if (!query) {
    return std::nullopt;
  }
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof(attributes);
  if (!::HidD_GetAttributes(query.Get(), &attributes)) {
    return std::nullopt;
  }
  HidInterfaceInfo info;
  info.path = WideToUtf8(path);
  info.vendorId = attributes.VendorID;
  info.productId = attributes.ProductID;
  if (info.vendorId == kStationVendorId && info.productId == kStationProductId) {
    ReadUsage(query.Get(), info);
  }
  return info;
}

}  // namespace

std::vector<HidInterfaceInfo> Win32HidBackend::Enumerate() {
  std::vector<HidInterfaceInfo> interfaces;
  GUID hidClass{};
  ::HidD_GetHidGuid(&hidClass);
  const InterfaceSet set(hidClass);
  if (!set.Valid()) {
    return interfaces;
  }
  SP_DEVICE_INTERFACE_DATA entry{};
  entry.cbSize = sizeof(entry);
  for (DWORD index = 0; ::SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &hidClass, index, &entry);
       ++index) {
    if (const auto path = InterfacePath(set.Get(), entry)) {
      if (auto info = DescribeInterface(*path)) {
        interfaces.push_back(std::move(*info));
      }
    }
  }
  return interfaces;
}

std::unique_ptr<StationTransport> Win32HidBackend::Open(const std::string& path) {
  UniqueHandle device(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
  if (!device) {
    return nullptr;
  }
  return std::make_unique<OverlappedTransport>(std::move(device));
}

}  // namespace nimbrel
