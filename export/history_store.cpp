// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/history_store.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace nimbrel {

std::string_view RecordText(const HistoryRecord& record) {
  const auto end = std::find(record.begin(), record.end(), '\0');
  return {record.data(), static_cast<std::size_t>(end - record.begin())};
}

namespace {

// calloc, unlike a value-initialising new, does not write zeros over memory that the system
// hands out zeroed: the 27 MB stay untouched, and cost nothing, until a download fills them.
HistoryRecord* ReserveZeroed() {
  void* block = std::calloc(HistoryStore::kSlotCount, sizeof(HistoryRecord));
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return static_cast<HistoryRecord*>(block);
}

}  // namespace

void HistoryStore::FreeBlock::operator()(HistoryRecord* block) const {
  std::free(block);
}

HistoryStore::HistoryStore(PageZeroer zeroer) : slots_(ReserveZeroed()), zeroer_(zeroer) {}

void HistoryStore::Clear() {
  const std::size_t bytes = written_.exchange(0) * sizeof(HistoryRecord);
  if (bytes == 0) {
    return;
  }
  if (zeroer_ == nullptr || !zeroer_(slots_.get(), bytes)) {
    std::memset(static_cast<void*>(slots_.get()), 0, bytes);
  }
}

bool HistoryStore::Put(std::size_t slot, const HistoryRecord& record) {
  if (slot >= kSlotCount) {
    return false;
  }
  slots_[slot] = record;
  std::size_t written = written_.load(std::memory_order_relaxed);
  while (written <= slot &&
         !written_.compare_exchange_weak(written, slot + 1, std::memory_order_relaxed)) {
  }
  return true;
}

const HistoryRecord& HistoryStore::Slot(std::size_t slot) const {
  static constexpr HistoryRecord kEmpty{};
  return slot < kSlotCount ? slots_[slot] : kEmpty;
}

}  // namespace nimbrel
