// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "record/record_fields.h"

namespace nimbrel {

// One reading as the console sent it, widened to UTF-16: at most 31 characters.
class ReadingText {
 public:
  static constexpr std::size_t kCapacity = 31;

  ReadingText() = default;
  // Keeps the first 31 characters of a longer text.
  explicit ReadingText(std::u16string_view text);

  std::u16string_view View() const { return {chars_.data(), size_}; }
  bool Empty() const { return size_ == 0; }
  void Clear() { size_ = 0; }

  friend bool operator==(const ReadingText& a, const ReadingText& b) {
    return a.View() == b.View();
  }

 private:
  std::array<char16_t, kCapacity> chars_{};
  std::size_t size_ = 0;
};

static_assert(ReadingText::kCapacity == FieldText::kCapacity);

// Widens a field of the console's text: each byte becomes the code unit of its unsigned value,
// so bytes 0x80 to 0xFF read as Latin-1.
ReadingText WidenField(std::string_view field);

// The current readings: the 36 fields of the console's live text, indexed by RecordField.
struct LiveReadings {
  std::array<ReadingText, kRecordFieldCount> fields{};

  const ReadingText& operator[](std::size_t field) const { return fields.at(field); }
};

// The console's live text is read up to its first zero byte, and never past this many bytes.
inline constexpr std::size_t kLiveTextMaxLength = 255;

// Makes all 36 fields empty.
void ClearLiveReadings(LiveReadings& readings);

// Replaces the whole record by the fields of a live text; fields the text does not reach become
// empty. Never fails: a field that holds no number is dealt with when it is formatted.
void DecodeLiveText(std::string_view body, LiveReadings& readings);

// Writes the no-data placeholders that the dashboard shows before the first live text and after
// the console is gone. Date, time, wind chill and the rain totals keep their last values.
void SetNoDataPlaceholders(LiveReadings& readings);

}  // namespace nimbrel
