// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/console_options.h"

#include <charconv>
#include <fstream>
#include <limits>

namespace nimbrel {

namespace {

constexpr std::string_view kFaultsOption = "--console-faults";
constexpr std::string_view kPeriodOption = "--console-period";

constexpr std::string_view kHelp =
    "Simulated console (with --simulate):\n"
    "  --console-seed N         weather and log of the generated console (default 1)\n"
    "  --console-records N      records in the generated log (default 864: three days,\n"
    "                           at most 60000)\n"
    "  --console-history FILE   serve these history records, one 36-field line each, in order\n"
    "  --console-live FILE      send these live texts, one a line, in turn\n"
    "  --console-wu FILE        send these Weather Underground parameter texts in turn\n"
    "  --console-wc FILE        send these Weathercloud parameter texts in turn\n"
    "  --console-period LIST    seconds between the console's messages, 0 for never:\n"
    "                           live=S,wu=S,wc=S,time=S (default live=5,wu=30,wc=60,time=3600)\n"
    "  --console-pace usb       keep a real console's pace, about one frame a millisecond\n"
    "                           (default: answer as fast as the program reads)\n"
    "  --console-node FILE      take the USB console's one-owner lock on FILE, as if FILE\n"
    "                           were its device node (the built-in console takes none)\n"
    "  --console-faults LIST    comma-separated faults in history downloads:\n"
    "      bad-crc=R:K          the first K copies of each frame of record R have a wrong CRC\n"
    "                           (10 or more: the program gives the record up)\n"
    "      skip-frame=R:F       frame F of record R is left out, once\n"
    "      unplug-after=R       the console vanishes after R records, once, back 3 s later\n"
    "      stop-after=R         the console stops the download after R records, once\n"
    "      no-history           the console answers every history request with no history\n";

bool ParseWhole(std::string_view text, unsigned long long limit, unsigned long long& value) {
  unsigned long long parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || parsed > limit) {
    return false;
  }
  value = parsed;
  return true;
}

// A number from `low` to `high`.
bool ParseInRange(std::string_view text, unsigned low, unsigned high, unsigned& value) {
  unsigned long long parsed = 0;
  if (!ParseWhole(text, high, parsed) || parsed < low) {
    return false;
  }
  value = static_cast<unsigned>(parsed);
  return true;
}

// "A:B" with A a record number and B from 1 to `highB`.
bool ParsePair(std::string_view text, unsigned highB, unsigned& a, unsigned& b) {
  const std::size_t colon = text.find(':');
  return colon != std::string_view::npos &&
         ParseInRange(text.substr(0, colon), 1, kMaxHistoryRecords, a) &&
         ParseInRange(text.substr(colon + 1), 1, highB, b);
}

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

// Splits at commas; an empty item is kept so that it can be reported.
std::vector<std::string_view> SplitList(std::string_view list) {
  std::vector<std::string_view> items;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    items.push_back(list.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) {
      return items;
    }
    start = comma + 1;
  }
}

std::string ParseFault(std::string_view item, ConsoleFaults& faults) {
  const std::size_t equals = item.find('=');
  const std::string_view name = item.substr(0, equals);
  const std::string_view value =
      equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
  const std::string bad = std::string(kFaultsOption) + ": " + Quoted(item);
  if (name == "no-history" && equals == std::string_view::npos) {
    faults.noHistory = true;
    return {};
  }
  if (name == "bad-crc") {
    ConsoleFaults::BadCrc fault;
    if (!ParsePair(value, std::numeric_limits<unsigned>::max(), fault.record, fault.copies)) {
      return bad + " needs R:K, a record number and a count of copies, both from 1";
    }
    faults.badCrc.push_back(fault);
    return {};
  }
  if (name == "skip-frame") {
    ConsoleFaults::SkipFrame fault;
    if (!ParsePair(value, kMaxMessageFrames, fault.record, fault.frame)) {
      return bad + " needs R:F, a record number from 1 and a frame number from 1 to 15";
    }
    faults.skipFrame.push_back(fault);
    return {};
  }
  if (name == "unplug-after" || name == "stop-after") {
    std::optional<unsigned>& target =
        name == "unplug-after" ? faults.unplugAfter : faults.stopAfter;
    unsigned records = 0;
    if (!ParseInRange(value, 1, kMaxHistoryRecords, records)) {
      return bad + " needs a number of records from 1";
    }
    if (target) {
      return bad + ": " + std::string(name) + " is given twice";
    }
    target = records;
    return {};
  }
  return bad +
         " is not a fault (bad-crc=R:K, skip-frame=R:F, unplug-after=R, stop-after=R, "
         "no-history)";
}

std::string LoadConsoleLines(const std::string& path, std::size_t longest, bool mayBeEmpty,
                             std::size_t most, ConsoleLines& result) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return path + ": cannot be read";
  }
  std::string line;
  std::size_t number = 0;
  while (std::getline(file, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.empty()) {
      continue;
    }
    if (line.size() > longest) {
      return path + " line " + std::to_string(number) + ": longer than " + std::to_string(longest) +
             " characters";
    }
    if (result.lines.size() == most) {
      return path + ": more than " + std::to_string(most) + " lines";
    }
    result.lines.push_back(line);
  }
  if (file.bad()) {
    return path + ": cannot be read";
  }
  if (result.lines.empty() && !mayBeEmpty) {
    return path + ": no lines";
  }
  return {};
}

ConsoleLines Load(const std::string& path, std::size_t longest, bool mayBeEmpty, std::size_t most) {
  ConsoleLines result;
  result.error = LoadConsoleLines(path, longest, mayBeEmpty, most, result);
  if (!result.error.empty()) {
    result.lines.clear();
  }
  return result;
}

std::string TakeLines(const ConsoleLines& loaded, std::optional<std::vector<std::string>>& target) {
  if (loaded.error.empty()) {
    target = loaded.lines;
  }
  return loaded.error;
}

}  // namespace

ConsoleLines LoadHistoryLines(const std::string& path) {
  return Load(path, kMaxRecordText, true, kMaxHistoryRecords);
}

ConsoleLines LoadLiveLines(const std::string& path) {
  return Load(path, kMaxRecordText, false, std::numeric_limits<std::size_t>::max());
}

ConsoleLines LoadParamLines(const std::string& path) {
  return Load(path, kMaxMessageText, false, std::numeric_limits<std::size_t>::max());
}

std::string ParseConsoleFaults(std::string_view list, ConsoleFaults& faults) {
  ConsoleFaults parsed = faults;
  for (const std::string_view item : SplitList(list)) {
    if (item.empty()) {
      return std::string(kFaultsOption) + ": empty fault in " + Quoted(list);
    }
    if (std::string error = ParseFault(item, parsed); !error.empty()) {
      return error;
    }
  }
  faults = parsed;
  return {};
}

std::string ParseConsolePeriods(std::string_view list, ConsolePeriods& periods) {
  constexpr unsigned kLongestPeriod = 24 * 3600;
  ConsolePeriods parsed = periods;
  for (const std::string_view item : SplitList(list)) {
    const std::size_t equals = item.find('=');
    const std::string_view name = item.substr(0, equals);
    std::chrono::seconds* target = name == "live"   ? &parsed.live
                                   : name == "wu"   ? &parsed.wu
                                   : name == "wc"   ? &parsed.weathercloud
                                   : name == "time" ? &parsed.timeRequest
                                                    : nullptr;
    unsigned seconds = 0;
    if (target == nullptr || equals == std::string_view::npos ||
        !ParseInRange(item.substr(equals + 1), 0, kLongestPeriod, seconds)) {
      return std::string(kPeriodOption) + ": " + Quoted(item) +
             " is not live=S, wu=S, wc=S or time=S with S whole seconds from 0 to 86400";
    }
    *target = std::chrono::seconds(seconds);
  }
  periods = parsed;
  return {};
}

std::string ParseConsolePace(std::string_view text, ConsolePace& pace) {
  if (text == "usb") {
    pace = ConsolePace::kUsb;
  } else if (text == "reader") {
    pace = ConsolePace::kReader;
  } else {
    return "--console-pace: " + Quoted(text) + " is neither usb nor reader";
  }
  return {};
}

std::optional<std::string> ApplyConsoleOption(std::string_view name, std::string_view value,
                                              ConsoleOptions& options) {
  const std::string path(value);
  if (name == "--console-seed") {
    unsigned long long seed = 0;
    if (!ParseWhole(value, std::numeric_limits<std::uint64_t>::max(), seed)) {
      return "--console-seed: " + Quoted(value) + " is not a whole number";
    }
    options.seed = seed;
    return std::string();
  }
  if (name == "--console-records") {
    unsigned records = 0;
    if (!ParseInRange(value, 0, kMaxGeneratedRecords, records)) {
      return "--console-records: " + Quoted(value) + " is not a number from 0 to 60000";
    }
    options.historyRecords = records;
    return std::string();
  }
  if (name == "--console-history") {
    return TakeLines(LoadHistoryLines(path), options.historyLines);
  }
  if (name == "--console-live") {
    return TakeLines(LoadLiveLines(path), options.liveLines);
  }
  if (name == "--console-wu") {
    return TakeLines(LoadParamLines(path), options.wuLines);
  }
  if (name == "--console-wc") {
    return TakeLines(LoadParamLines(path), options.weathercloudLines);
  }
  if (name == kPeriodOption) {
    return ParseConsolePeriods(value, options.periods);
  }
  if (name == kFaultsOption) {
    return ParseConsoleFaults(value, options.faults);
  }
  if (name == "--console-pace") {
    return ParseConsolePace(value, options.pace);
  }
  if (name == "--console-node") {
    options.lockNode = path;
    return std::string();
  }
  return std::nullopt;
}

std::string_view ConsoleOptionsHelp() {
  return kHelp;
}

}  // namespace nimbrel
