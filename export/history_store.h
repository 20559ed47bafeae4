// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string_view>

namespace nimbrel {

// One stored history record: the console's ASCII line, NUL-padded.
inline constexpr std::size_t kHistoryRecordSize = 450;
using HistoryRecord = std::array<char, kHistoryRecordSize>;

// The text of a record up to its first zero byte (all 450 bytes when there is none).
std::string_view RecordText(const HistoryRecord& record);

// Hands written pages of a block back to the system so that they read as zeros again without
// being written; false when the system cannot (the caller then writes the zeros).
using PageZeroer = bool (*)(void* block, std::size_t size);

// The downloaded history log: 60000 slots of 450 bytes, reserved once for the life of the store.
// The block comes from the system as zero pages, which cost no memory until a download writes
// them. Slots outside the store are never read or written.
class HistoryStore {
 public:
  static constexpr std::size_t kSlotCount = 60000;

  // `zeroer`, when given, empties the store without writing the pages a download filled.
  explicit HistoryStore(PageZeroer zeroer = nullptr);
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Empties every slot (before each download). Touches only what was written since the last
  // Clear, so emptying an empty store costs nothing.
  void Clear();

  // Copies a record into a slot; returns false (and writes nothing) for a slot outside the store.
  bool Put(std::size_t slot, const HistoryRecord& record);

  // The record in a slot; an all-zero record for a slot outside the store.
  const HistoryRecord& Slot(std::size_t slot) const;

 private:
  struct FreeBlock {
    void operator()(HistoryRecord* block) const;
  };
  std::unique_ptr<HistoryRecord[], FreeBlock> slots_;
  PageZeroer zeroer_;
  // One past the highest slot written since the last Clear: nothing beyond it needs emptying.
  std::atomic<std::size_t> written_{0};
};

}  // namespace nimbrel
