// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload/upload_worker.h"

#include <utility>

namespace nimbrel {

UploadSender::UploadSender(const UploadLink& link, UploadMessages& messages, std::mutex* socketLock)
    : link_(link), messages_(messages), socketLock_(socketLock) {}

void UploadSender::Handle(const UploadRequest& request, std::stop_token stop) {
  UploadResult result = request.service == ServerIndex::Weathercloud
                            ? SendWeathercloud(request, stop)
                            : Exchange(request, stop);
  if (result.outcome == UploadOutcome::kNotAcknowledged &&
      IsAcknowledgement(request.service, result.replyText)) {
    result.outcome = UploadOutcome::kAcknowledged;
  }
  if (!stop.stop_requested()) {
    Report(request, result);
  }
}

UploadResult UploadSender::SendWeathercloud(const UploadRequest& request, std::stop_token stop) {
  // Each check is followed by a pause; after the last pause the request is dropped unchecked.
  for (int check = 0; check < kWeathercloudPauses; ++check) {
    const std::chrono::milliseconds now = link_.clock.Now();
    if (WeathercloudMayGo(now)) {
      // The turn counts from the check, whether or not the send then succeeds.
      lastWeathercloudSend_ = now;
      return Exchange(request, stop);
    }
    if (!link_.clock.Sleep(kWeathercloudPause, stop)) {
      return ResultOf(UploadOutcome::kStopped);
    }
  }
  return ResultOf(UploadOutcome::kDropped);
}

UploadResult UploadSender::Exchange(const UploadRequest& request, std::stop_token stop) {
  if (socketLock_ == nullptr) {
    return SendOneRequest(request, link_, stop);
  }
  const std::lock_guard lock(*socketLock_);
  return SendOneRequest(request, link_, stop);
}

bool UploadSender::WeathercloudMayGo(std::chrono::milliseconds now) const {
  return !lastWeathercloudSend_ || now - *lastWeathercloudSend_ > kWeathercloudSpacing;
}

void UploadSender::Report(const UploadRequest& request, const UploadResult& result) {
  if (result.outcome == UploadOutcome::kAcknowledged) {
    if (request.service == ServerIndex::Weathercloud) {
      messages_.UploadAckWc();
    } else {
      messages_.UploadAckWu();
    }
  }
  messages_.UploadFinished(request, result);
}

UploadLane::UploadLane(const UploadLink& link, UploadMessages& messages, std::mutex* socketLock)
    : sender_(link, messages, socketLock), thread_([this](std::stop_token stop) { Run(stop); }) {}

UploadLane::~UploadLane() {
  RequestStop();
  Join();
}

void UploadLane::Post(UploadRequest request) {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) {
      return;
    }
    queue_.push_back(std::move(request));
  }
  posted_.notify_one();
}

void UploadLane::RequestStop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    queue_.clear();
  }
  thread_.request_stop();
}

void UploadLane::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

void UploadLane::Run(std::stop_token stop) {
  while (const std::optional<UploadRequest> request = Next(stop)) {
    sender_.Handle(*request, stop);
  }
}

std::optional<UploadRequest> UploadLane::Next(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  if (!posted_.wait(lock, stop, [this] { return !queue_.empty(); }) || stop.stop_requested()) {
    return std::nullopt;
  }
  UploadRequest request = std::move(queue_.front());
  queue_.pop_front();
  return request;
}

UploadWorker::UploadWorker(const UploadLink& link, UploadMessages& messages)
    : UploadWorker(link, link, messages) {}

UploadWorker::UploadWorker(const UploadLink& wuLink, const UploadLink& wcLink,
                           UploadMessages& messages)
    : wu_(wuLink, messages, &wuLink.socket == &wcLink.socket ? &socketLock_ : nullptr),
      wc_(wcLink, messages, &wuLink.socket == &wcLink.socket ? &socketLock_ : nullptr) {}

UploadWorker::~UploadWorker() {
  Stop();
}

void UploadWorker::Post(UploadRequest request) {
  (request.service == ServerIndex::Weathercloud ? wc_ : wu_).Post(std::move(request));
}

void UploadWorker::Stop() {
  // Both at once, so that stopping takes the longer of the two ends, not their sum.
  wu_.RequestStop();
  wc_.RequestStop();
  wu_.Join();
  wc_.Join();
}

}  // namespace nimbrel
