// SPDX-License-Identifier: GPL-3.0-or-later
// Live texts and history records as the console might send them, and worse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "record/record_fields.h"
#include "readings/live_readings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbrel;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const RecordFields fields = SplitRecord(text);
  for (const FieldText& field : fields) {
    if (field.View().size() > FieldText::kCapacity) {
      std::abort();
    }
  }
  LiveReadings readings;
  DecodeLiveText(text, readings);
  SetNoDataPlaceholders(readings);
  ClearLiveReadings(readings);
  return 0;
}
