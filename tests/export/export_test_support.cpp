// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/export/export_test_support.h"

#include <algorithm>

namespace nimbrel::testing {

HistoryRecord Record(std::string_view text) {
  HistoryRecord record{};
  std::copy_n(text.begin(), std::min(text.size(), record.size()), record.begin());
  return record;
}

void Fill(HistoryStore& store, std::initializer_list<std::string_view> lines) {
  std::size_t slot = 0;
  for (const std::string_view line : lines) {
    store.Put(slot++, Record(line));
  }
}

std::string FileBytes(const std::string& path) {
  return ReadFile(path);
}

std::u16string FileText(const std::string& path) {
  const std::string bytes = FileBytes(path);
  if (bytes.size() % 2 != 0 || bytes.substr(0, 2) != "\xFF\xFE") {
    return u"<not UTF-16LE>";
  }
  std::u16string text;
  for (std::size_t i = 2; i < bytes.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | bytes[i + 1] << 8);
  }
  return text;
}

void RecordingSink::ExportFinished(int result) {
  std::lock_guard lock(mutex_);
  calls_.push_back({result, state_.downloadActive.load(), state_.exportRunning.load()});
}

std::vector<RecordingSink::Call> RecordingSink::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

bool FailingFile::Write(std::string_view bytes) {
  hook_(calls_++);
  const std::size_t fits = std::min(bytes.size(), budget_);
  budget_ -= fits;
  return disk_.Write(bytes.substr(0, fits)) && fits == bytes.size();
}

}  // namespace nimbrel::testing
