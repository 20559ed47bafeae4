// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/record_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace nimbrel {

RecordFieldViews SplitRecordInPlace(std::string_view text) {
  RecordFieldViews fields{};
  const auto field = [&text](std::size_t start, std::size_t end) {
    return text.substr(start, std::min(end - start, FieldText::kCapacity));
  };
  // One pass over the characters, with no library search per field: this runs for every exported
  // record.
  std::size_t count = 0;
  std::size_t start = 0;
  std::size_t at = 0;
  for (; at < text.size() && text[at] != '\0'; ++at) {
    if (text[at] == ' ') {
      fields[count] = field(start, at);
      if (++count == kRecordFieldCount) {
        return fields;
      }
      start = at + 1;
    }
  }
  fields[count] = field(start, at);
  return fields;
}

std::optional<double> ReadFieldNumber(std::string_view field) {
  double value = 0;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  if (field.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

RecordFields SplitRecord(std::string_view text) {
  const RecordFieldViews views = SplitRecordInPlace(text);
  RecordFields fields{};
  for (std::size_t field = 0; field < kRecordFieldCount; ++field) {
    fields[field].Assign(views[field]);
  }
  return fields;
}

}  // namespace nimbrel
