// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archive.h"

#include <cstdlib>

namespace nimbrel {
namespace {

using namespace std::chrono;

year_month_day Calendar(const DateNumbers& date) {
  return year{date.year} / month{date.month} / day{date.day};
}

local_days LastOfMonth(const DateNumbers& date) {
  return local_days{year{date.year} / month{date.month} / last};
}

// The first day on or after the date (2018-2-31 gives 2018-3-1).
local_days FirstDayFrom(const DateNumbers& date) {
  return Calendar(date).ok() ? local_days{Calendar(date)} : LastOfMonth(date) + days{1};
}

// The last day on or before the date (2018-2-31 gives 2018-2-28).
local_days LastDayUpTo(const DateNumbers& date) {
  return Calendar(date).ok() ? local_days{Calendar(date)} : LastOfMonth(date);
}

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (const char16_t c : text) {
    narrow += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return narrow;
}

}  // namespace

ArchiveRange RangeOf(const ExportRequest& request) {
  if (request.wholePeriod) {
    return {};
  }
  const auto first = ReadDateNumbers(Narrow(request.startDate));
  const auto last = ReadDateNumbers(Narrow(request.endDate));
  if (!first || !last) {
    return {false, local_days{days{1}}, local_days{days{0}}};  // no day
  }
  return {false, FirstDayFrom(*first), LastDayUpTo(*last)};
}

std::optional<std::filesystem::path> DefaultArchivePath() {
#ifdef _WIN32
  // Windows keeps a user's program data under %LOCALAPPDATA%, whatever its characters.
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local != nullptr && local[0] != L'\0') {
    return std::filesystem::path(local) / "nimbrel" / "archive.sqlite";
  }
  return std::nullopt;
#else
  // A relative XDG_DATA_HOME is to be ignored, as if it were not set.
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') {
    return std::filesystem::path(data) / "nimbrel" / "archive.sqlite";
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    return std::filesystem::path(home) / ".local" / "share" / "nimbrel" / "archive.sqlite";
  }
  return std::nullopt;
#endif
}

std::vector<std::string_view> RecordTexts(const HistoryStore& store, std::size_t count) {
  std::vector<std::string_view> texts;
  texts.reserve(std::min(count, HistoryStore::kSlotCount));
  for (std::size_t slot = 0; slot < count && slot < HistoryStore::kSlotCount; ++slot) {
    if (const std::string_view text = RecordText(store.Slot(slot)); !text.empty()) {
      texts.push_back(text);
    }
  }
  return texts;
}

}  // namespace nimbrel
