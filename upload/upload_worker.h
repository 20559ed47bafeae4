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

// What the upload worker hands to the rest of the program, from its threads (one per service, so
// the calls of the two services may come at the same time). Every call blocks until it has been
// handled.
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

  // `socketLock`, when given, is held for each exchange: the lock of a socket another sender
  // shares.
  UploadSender(const UploadLink& link, UploadMessages& messages, std::mutex* socketLock = nullptr);

  // Once `stop` is set, nothing more is handed off.
  void Handle(const UploadRequest& request, std::stop_token stop);

 private:
  UploadResult SendWeathercloud(const UploadRequest& request, std::stop_token stop);
  UploadResult Exchange(const UploadRequest& request, std::stop_token stop);
  bool WeathercloudMayGo(std::chrono::milliseconds now) const;
  void Report(const UploadRequest& request, const UploadResult& result);

  UploadLink link_;
  UploadMessages& messages_;
  std::mutex* socketLock_;
  // When the last Weathercloud request went out; none yet at first, so the first goes at once.
  std::optional<std::chrono::milliseconds> lastWeathercloudSend_;
};

// One service's requests: a queue and a thread of their own, handled in the order posted.
class UploadLane {
 public:
  UploadLane(const UploadLink& link, UploadMessages& messages, std::mutex* socketLock);
  UploadLane(const UploadLane&) = delete;
  UploadLane& operator=(const UploadLane&) = delete;
  ~UploadLane();

  void Post(UploadRequest request);
  // Drops what is queued and asks the thread to end, without waiting for it.
  void RequestStop();
  // Waits for the thread to end.
  void Join();

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

// The threads that own all upload traffic, from start-up to shutdown: one per service, so that
// Weathercloud's ten-minute spacing (and a slow or absent host of either service) never holds up
// the other service's requests. Requests are queued as copies, each service's in the order posted.
class UploadWorker {
 public:
  // Both services over one link. They share its socket, one exchange at a time: Weathercloud's
  // spacing holds up only its own requests, but an exchange in progress (its pauses between
  // attempts to resolve included) holds up the other service's until it ends.
  UploadWorker(const UploadLink& link, UploadMessages& messages);
  // Each service over a link of its own; the same socket in both is shared as above. The clock and
  // the diagnostics streams are used from both threads (the steady clock and the standard streams
  // may be).
  UploadWorker(const UploadLink& wuLink, const UploadLink& wcLink, UploadMessages& messages);
  UploadWorker(const UploadWorker&) = delete;
  UploadWorker& operator=(const UploadWorker&) = delete;
  ~UploadWorker();

  // TM_UPLOAD_WU or TM_UPLOAD_WC, after the request's service. Ignored once stopped.
  void Post(UploadRequest request);

  // Ends the threads and waits for them: a wait or a socket call in progress ends within a
  // fraction of a second (a name lookup in progress, only when it does), and the requests still
  // queued are dropped. A hand-off in progress is waited for, so the caller must not be the thread
  // that serves the hand-offs unless they give up at shutdown.
  void Stop();

 private:
  std::mutex socketLock_;
  UploadLane wu_;
  UploadLane wc_;
};

}  // namespace nimbrel
