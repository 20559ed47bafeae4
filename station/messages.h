// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>

#include "export/history_store.h"

namespace nimbrel {

// Reassembly buffer of the two upload-parameter channels.
inline constexpr std::size_t kParamBufferSize = 1024;
using ParamBuffer = std::array<char, kParamBufferSize>;

// Window message numbers, kept so that each hand-off can be traced to the message it stands for.
inline constexpr unsigned WM_APP = 0x8000;
inline constexpr unsigned WM_LIVE_MESSAGE = WM_APP + 105;
inline constexpr unsigned WM_HISTORY_COMPLETE = WM_APP + 109;
inline constexpr unsigned WM_WU_MESSAGE = WM_APP + 111;
inline constexpr unsigned WM_HISTORY_START = WM_APP + 112;
inline constexpr unsigned WM_HISTORY_PROGRESS = WM_APP + 113;
inline constexpr unsigned WM_NO_HISTORY = WM_APP + 115;
inline constexpr unsigned WM_TIME_REQUEST = WM_APP + 117;
inline constexpr unsigned WM_WEATHERCLOUD_MESSAGE = WM_APP + 122;

// What the station reader hands to the rest of the program. Every call blocks until it has been
// handled; a buffer passed by reference is the reader's own and is valid only during the call.
class ReaderMessages {
 public:
  virtual ~ReaderMessages() = default;

  // To the dashboard.
  virtual void LiveMessage(const HistoryRecord& text) = 0;        // WM_LIVE_MESSAGE
  virtual void WuMessage(const ParamBuffer& text) = 0;            // WM_WU_MESSAGE
  virtual void WeathercloudMessage(const ParamBuffer& text) = 0;  // WM_WEATHERCLOUD_MESSAGE
  virtual void TimeRequest() = 0;                                 // WM_TIME_REQUEST
  virtual void NoHistory() = 0;                                   // WM_NO_HISTORY
  virtual void HistoryComplete() = 0;                             // WM_HISTORY_COMPLETE
  // Live data ended a download before all its records were in: the download is over, and
  // `recordsArrived` of its `recordCount` records lie in the store from slot 0 on (a given-up
  // record leaves an empty slot). Sent once per download.
  virtual void HistoryEndedEarly(int recordsArrived, int recordCount) = 0;

  // To the status bar.
  virtual void HistoryStart(int recordCount) = 0;          // WM_HISTORY_START
  virtual void HistoryProgress(int recordsAccounted) = 0;  // WM_HISTORY_PROGRESS
};

}  // namespace nimbrel
