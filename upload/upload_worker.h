// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "upload/http_client.h"
#include "upload/upload_request.h"

namespace nimbrel {

// Message numbers, kept so that each hand-off can be traced to the message it stands for.
inline constexpr unsigned WM_UPLOAD_ACK_WU = 0x8000 + 103;
inline constexpr unsigned TM_UPLOAD_WU = 0x8000 + 110;
inline constexpr unsigned WM_UPLOAD_ACK_WC = 0x8000 + 123;
inline constexpr unsigned TM_UPLOAD_WC = 0x8000 + 124;

// What the upload worker hands to the rest of the program, from its own thread. Every call
// blocks until it has been handled.
class UploadMessages {
 public:
  virtual ~UploadMessages() = default;

  // To the setup panel.
  virtual void UploadAckWu() = 0;  // WM_UPLOAD_ACK_WU
  virtual void UploadAckWc() = 0;  // WM_UPLOAD_ACK_WC

  // After every request, acknowledged or not, and after its acknowledgement. The setup panel
  // needs only the acknowledgements; a front end that reports each upload listens here.
  virtual void UploadFinished(const UploadRequest& /*request*/, const UploadResult& /*result*/) {}
};

// Handles one request at a time on the worker's thread: spaces the Weathercloud requests, sends,
// judges the reply and reports.
class UploadSender {
 public:
  // Weathercloud takes one request in ten minutes; a request that finds the last one too recent
  // pauses five seconds and checks again, sixty checks and pauses at most, then is dropped.
  static constexpr std::chrono::milliseconds kWeathercloudSpacing{600'000};
  static constexpr std::chrono::milliseconds kWeathercloudPause{5'000};
  static constexpr int kWeathercloudPauses = 60;

  UploadSender(const UploadLink& link, UploadMessages& messages);

  // Once `stop` is set, nothing more is handed off.
  void Handle(const UploadRequest& request, std::stop_token stop);

 private:
  UploadResult SendWeathercloud(const UploadRequest& request, std::stop_token stop);
  bool WeathercloudMayGo(std::chrono::milliseconds now) const;
  void Report(const UploadRequest& request, const UploadResult& result);

  UploadLink link_;
  UploadMessages& messages_;
  // When the last Weathercloud request went out; none yet at first, so the first goes at once.
  std::optional<std::chrono::milliseconds> lastWeathercloudSend_;
};

// The thread that owns all upload traffic, from start-up to shutdown. Requests are queued as
// copies and handled in the order posted.
class UploadWorker {
 public:
  // Starts the thread. The link's objects and `messages` must outlive the worker.
  UploadWorker(const UploadLink& link, UploadMessages& messages);
  UploadWorker(const UploadWorker&) = delete;
  UploadWorker& operator=(const UploadWorker&) = delete;
  ~UploadWorker();

  // TM_UPLOAD_WU or TM_UPLOAD_WC, after the request's service. Ignored once stopped.
  void Post(UploadRequest request);

  // Ends the thread and waits for it: a wait or a socket call in progress ends within a fraction
  // of a second (a name lookup in progress, only when it does), and the requests still queued are
  // dropped. A hand-off in progress is waited for, so the caller must not be the thread that
  // serves the hand-offs unless they give up at shutdown.
  void Stop();

 private:
  void Run(std::stop_token stop);
  std::optional<UploadRequest> Next(std::stop_token stop);

  UploadSender sender_;
  std::mutex mutex_;
  std::condition_variable_any posted_;
  std::deque<UploadRequest> queue_;
  bool stopped_ = false;
  std::jthread thread_;  // last, so that it starts after everything it uses
};

}  // namespace nimbrel
