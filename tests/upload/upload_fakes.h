#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "upload/upload_clock.h"
#include "upload/upload_socket.h"
#include "upload/upload_worker.h"

namespace nimbrel::testing {

// A clock that jumps ahead by each pause at once and remembers the pauses.
class FakeClock final : public UploadClock {
 public:
  std::chrono::milliseconds now{0};
  std::vector<std::chrono::milliseconds> pauses;

  std::chrono::milliseconds Now() override { return now; }
  bool Sleep(std::chrono::milliseconds pause, std::stop_token stop) override;
};

// A socket that plays a script and keeps what was sent.
class ScriptedSocket final : public UploadSocket {
 public:
  int openFailures = 0;  // the first this many opens fail
  SocketStatus connect = SocketStatus::kOk;
  std::size_t sendLimit = 1 << 20;  // bytes taken by one send call
  std::size_t sendBreaksAfter = 1 << 20;
  SocketStatus sendBreak = SocketStatus::kTimeout;  // what a send past that point gets
  int sendTimeoutFailures = 0;                      // the first this many settings fail
  int receiveTimeoutFailures = 0;
  std::deque<SocketResult> receives;  // after them: closed
  std::string replyBytes;             // the data the kOk receives hand out, in order

  int opens = 0;
  int sendCalls = 0;
  int sendTimeoutsSet = 0;
  int closes = 0;
  std::string sent;

  // Replies with `text` in chunks of at most `chunk` bytes, then closes.
  void Reply(const std::string& text, std::size_t chunk = 1024);

  bool Open(std::string_view host, std::uint16_t port) override;
  SocketStatus Connect(std::chrono::milliseconds timeout, std::stop_token stop) override;
  bool SetSendTimeout(std::chrono::milliseconds timeout) override;
  bool SetReceiveTimeout(std::chrono::milliseconds timeout) override;
  SocketResult Send(std::span<const char> bytes, std::stop_token stop) override;
  SocketResult Receive(std::span<char> buffer, std::stop_token stop) override;
  void Close() override { ++closes; }
};

// Records the worker's hand-offs; safe to read from the test's thread.
class RecordingUploads final : public UploadMessages {
 public:
  void UploadAckWu() override { Add("ack wu"); }
  void UploadAckWc() override { Add("ack wc"); }
  void UploadFinished(const UploadRequest& request, const UploadResult& result) override;

  // Waits until `count` requests have finished; false after `timeout`.
  bool WaitForFinished(std::size_t count, std::chrono::milliseconds timeout);
  std::vector<std::string> Events();
  std::vector<UploadResult> Results();
  void Clear();

 private:
  void Add(std::string event);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  std::vector<UploadResult> results_;
};

const char* OutcomeName(UploadOutcome outcome);

}  // namespace nimbrel::testing
