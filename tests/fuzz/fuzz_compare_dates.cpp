// SPDX-License-Identifier: GPL-3.0-or-later
// Date comparison and the date filter on any two texts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/export_request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbrel;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\n');
  const std::string_view a = input.substr(0, split);
  const std::string_view b = split == std::string_view::npos ? "" : input.substr(split + 1);
  const auto ab = CompareDates(a, b);
  const auto ba = CompareDates(b, a);
  // The order is the same either way round.
  if ((ab < 0) != (ba > 0) || (ab == 0) != (ba == 0)) {
    std::abort();
  }
  ExportRequest request;
  request.startDate = std::u16string(a.begin(), a.end());
  request.endDate = std::u16string(a.begin(), a.end());
  // A date passes a one-day period exactly when it is that day.
  if (PassesDateFilter(request, b) != (CompareDates(a, b) == 0)) {
    std::abort();
  }
  return 0;
}
