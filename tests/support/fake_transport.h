#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "station/transport.h"

namespace nimbrel::testing {

// A transport driven by a script: frames queued by the test are read in order, and every command
// written is recorded. A read with nothing queued times out after a short wait.
class FakeTransport : public StationTransport {
 public:
  void QueueFrame(const StationFrame& frame);
  void QueueReadError();
  void SetValid(bool valid);
  // Writes fail (and are still recorded) while this is set.
  void SetWritesFail(bool fail);

  std::vector<StationCommand> Commands() const;
  void ClearCommands();
  // Blocks until every queued frame has been read and handled (the reader asked for the next
  // one), or the timeout passes.
  bool WaitUntilDrained(std::chrono::milliseconds timeout) const;

  ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override;
  bool WriteCommand(const StationCommand& command) override;
  bool IsValid() const override;

 private:
  struct Step {
    bool error = false;
    StationFrame frame{};
  };
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<Step> script_;
  std::vector<StationCommand> commands_;
  bool valid_ = true;
  bool writesFail_ = false;
  bool frameBeingHandled_ = false;
};

}  // namespace nimbrel::testing
