#include "export/history_store.h"

#include <algorithm>

namespace nimbrel {

std::string_view RecordText(const HistoryRecord& record) {
  const auto end = std::find(record.begin(), record.end(), '\0');
  return {record.data(), static_cast<std::size_t>(end - record.begin())};
}

HistoryStore::HistoryStore() : slots_(std::make_unique<std::array<HistoryRecord, kSlotCount>>()) {}

void HistoryStore::Clear() {
  for (auto& slot : *slots_) {
    slot.fill('\0');
  }
}

bool HistoryStore::Put(std::size_t slot, const HistoryRecord& record) {
  if (slot >= kSlotCount) {
    return false;
  }
  (*slots_)[slot] = record;
  return true;
}

const HistoryRecord& HistoryStore::Slot(std::size_t slot) const {
  static constexpr HistoryRecord kEmpty{};
  return slot < kSlotCount ? (*slots_)[slot] : kEmpty;
}

}  // namespace nimbrel
