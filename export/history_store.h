#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>

namespace nimbrel {

// One stored history record: the console's ASCII line, NUL-padded.
inline constexpr std::size_t kHistoryRecordSize = 450;
using HistoryRecord = std::array<char, kHistoryRecordSize>;

// The text of a record up to its first zero byte (all 450 bytes when there is none).
std::string_view RecordText(const HistoryRecord& record);

// The downloaded history log: 60000 slots of 450 bytes, allocated once for the life of the
// program. Slots outside the store are never read or written.
class HistoryStore {
 public:
  static constexpr std::size_t kSlotCount = 60000;

  HistoryStore();

  // Fills every slot with zeros (before each download).
  void Clear();

  // Copies a record into a slot; returns false (and writes nothing) for a slot outside the store.
  bool Put(std::size_t slot, const HistoryRecord& record);

  // The record in a slot; an all-zero record for a slot outside the store.
  const HistoryRecord& Slot(std::size_t slot) const;

 private:
  std::unique_ptr<std::array<HistoryRecord, kSlotCount>> slots_;
};

}  // namespace nimbrel
