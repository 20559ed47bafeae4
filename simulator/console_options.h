// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/history_store.h"
#include "simulator/weather_model.h"
#include "station/frame.h"
#include "station/link.h"

namespace nimbrel {

// A message spans at most 15 frames of 54 bytes; a record text must leave its buffer's last zero.
inline constexpr std::size_t kMaxMessageFrames = 15;
inline constexpr std::size_t kMaxMessageText = kMaxMessageFrames * kMaxPayload;
inline constexpr std::size_t kMaxRecordText = kHistoryRecordSize - 1;
// The record count of a download is 16 bits wide.
inline constexpr std::size_t kMaxHistoryRecords = 65535;
// A generated log holds no more records than the program can keep.
inline constexpr std::size_t kMaxGeneratedRecords = HistoryStore::kSlotCount;

// How fast the console answers: as fast as the reader reads (no delay at all), or at a real
// console's pace of about one frame a millisecond.
enum class ConsolePace { kReader, kUsb };

// Seconds between the console's own messages; zero: never.
struct ConsolePeriods {
  std::chrono::seconds live{5};
  std::chrono::seconds wu{30};
  std::chrono::seconds weathercloud{60};
  std::chrono::seconds timeRequest{3600};
};

// Faults the console can be told to make during history downloads. Bad CRCs and "no history"
// apply to every download; a skipped frame, an unplugging and a stop happen once.
struct ConsoleFaults {
  struct BadCrc {
    unsigned record = 0;  // numbered from 1
    unsigned copies = 0;  // the first copies of each of its frames go out with a wrong CRC
  };
  struct SkipFrame {
    unsigned record = 0;
    unsigned frame = 0;  // numbered from 1
  };
  std::vector<BadCrc> badCrc;
  std::vector<SkipFrame> skipFrame;
  std::optional<unsigned> unplugAfter;  // records sent before the console vanishes
  std::optional<unsigned> stopAfter;    // records sent before the history-stop flag
  bool noHistory = false;
};

struct ConsoleOptions {
  std::uint64_t seed = 1;
  // Size of the generated log when no history lines are given.
  std::size_t historyRecords = kDefaultHistoryRecords;
  // Served instead of generated texts when given: history records in order, the others in turn.
  std::optional<std::vector<std::string>> historyLines;
  std::optional<std::vector<std::string>> liveLines;
  std::optional<std::vector<std::string>> wuLines;
  std::optional<std::vector<std::string>> weathercloudLines;
  ConsolePeriods periods;
  ConsoleFaults faults;
  ConsolePace pace = ConsolePace::kReader;
  // The console's clock at start; by default five minutes after the generated log's last record.
  std::optional<LocalDateTime> clock;
  // Locked as the USB console's device node is, when set: the one-owner rule without hardware.
  std::optional<std::string> lockNode;
  // How long an unplugged console stays away when a fault unplugged it.
  std::chrono::milliseconds replugDelay{3000};
  // How long the console waits before it sends a frame that got no acknowledgement again.
  std::chrono::milliseconds refusedPause{500};
};

// The lines of a console file, without line ends; empty lines are passed over. On failure
// `error` says why, naming the file.
struct ConsoleLines {
  std::vector<std::string> lines;
  std::string error;
};
// History records: at most 449 characters each, at most 65535 of them, none at all allowed.
ConsoleLines LoadHistoryLines(const std::string& path);
// Live texts: at most 449 characters each, at least one.
ConsoleLines LoadLiveLines(const std::string& path);
// Upload parameter texts: at most 810 characters each, at least one.
ConsoleLines LoadParamLines(const std::string& path);

// The parsers return an empty text on success, else the message to show; the target is changed
// only on success.
// "bad-crc=R:K,skip-frame=R:F,unplug-after=R,stop-after=R,no-history", any of them, any order.
std::string ParseConsoleFaults(std::string_view list, ConsoleFaults& faults);
// "live=S,wu=S,wc=S,time=S", any of them.
std::string ParseConsolePeriods(std::string_view list, ConsolePeriods& periods);
// "usb" or "reader".
std::string ParseConsolePace(std::string_view text, ConsolePace& pace);

// Takes one --console-* option with its value (every one takes a value). Nothing when `name` is
// not a console option; otherwise the error text, empty on success. File options load the file.
std::optional<std::string> ApplyConsoleOption(std::string_view name, std::string_view value,
                                              ConsoleOptions& options);

// The lines --help shows for the console options.
std::string_view ConsoleOptionsHelp();

}  // namespace nimbrel
