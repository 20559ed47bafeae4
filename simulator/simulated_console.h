// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "simulator/console_clock.h"
#include "simulator/console_options.h"
#include "simulator/weather_model.h"
#include "station/device.h"
#include "station/transport.h"

namespace nimbrel {

// Where the simulated console appears among the HID interfaces; IsStationDevicePath accepts it.
inline constexpr std::string_view kSimulatedConsolePath = "simulated:0003:1941:8021";

struct DeviceChange {
  DeviceEvent event = DeviceEvent::kOther;
  std::string path;
};

// A model of the console's side of the station protocol. Each frame is made inside ReadFrame on
// the reader's thread: no thread of its own, no hand-off. It sends one frame at a time and waits
// for its acknowledgement: a negative one makes it send the same frame again at once, none at all
// (the reader read on without answering) after a pause. Its own messages: a live text and a time
// request at every connection, then live texts, upload parameter texts and time requests at their
// periods, held back while a history download is under way. Deterministic for a seed and a clock.
//
// Used directly as a transport it is one connection that lives on across unplugging; handles
// opened through SimulatedHidBackend die with the connection they were opened on, as a real
// device handle does. The console must outlive its backends and handles.
class SimulatedConsole : public StationTransport {
 public:
  explicit SimulatedConsole(ConsoleOptions options);
  SimulatedConsole(ConsoleOptions options, ConsoleClock& clock);
  SimulatedConsole(const SimulatedConsole&) = delete;
  SimulatedConsole& operator=(const SimulatedConsole&) = delete;
  ~SimulatedConsole() override;

  ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override;
  bool WriteCommand(const StationCommand& command) override;
  bool IsValid() const override;

  // The cable, under program control: Unplug keeps the console away until Plug.
  void Unplug();
  void Plug();
  bool Plugged() const;

  // The next arrival or removal not yet taken, in order (the program's device notifications).
  // A console that a fault unplugged comes back here, or at Enumerate, once its delay is over.
  std::optional<DeviceChange> PollDeviceChange();

  // The console's clock: the date and time it was last given, run on since.
  LocalDateTime ConsoleDateTime() const;

  // The log it serves, record 1 first.
  const std::vector<std::string>& History() const { return history_; }

  // The live text it would send now.
  std::string CurrentLiveText() const;

 private:
  SimulatedConsole(ConsoleOptions options, std::unique_ptr<ConsoleClock> ownClock,
                   ConsoleClock* clock);

  friend class SimulatedHidBackend;
  friend class SimulatedConsoleHandle;
  using TimePoint = ConsoleClock::TimePoint;

  struct Message {
    Message() = default;
    Message(std::uint8_t type_, std::array<std::uint8_t, 4> header_, std::string text_ = {},
            bool acknowledged_ = true, unsigned record_ = 0)
        : type(type_),
          header(header_),
          text(std::move(text_)),
          acknowledged(acknowledged_),
          record(record_) {}
    std::uint8_t type = 0;
    std::array<std::uint8_t, 4> header{};  // frame bytes 2-5
    std::string text;
    bool acknowledged = true;  // the no-history frame is never acknowledged
    unsigned record = 0;       // history record number; 0 for any other message
  };
  // The message being sent and where it stands.
  struct Cursor {
    Message message;
    int frames = 1;
    int frame = 1;        // the frame being sent, from 1
    unsigned copies = 0;  // copies of this frame sent so far
    bool awaitingAnswer = false;
    bool lastCopyBad = false;
    int refusals = 0;  // copies in a row that got no answer
    TimePoint notBefore{};
    TimePoint lastSent{};
  };
  enum Periodic : std::size_t { kLive, kWu, kWeathercloud, kTimeRequest, kPeriodicCount };
  struct Timer {
    std::chrono::seconds period{};
    TimePoint next{};
  };

  ReadResult ReadOn(std::optional<unsigned> connection, StationFrame& frame,
                    std::chrono::milliseconds timeout);
  bool WriteOn(std::optional<unsigned> connection, const StationCommand& command);
  bool ConnectedLocked(std::optional<unsigned> connection) const;
  // The connection a newly opened handle belongs to; nothing while unplugged.
  std::optional<unsigned> OpenConnection();

  bool ProduceFrameLocked(TimePoint now, StationFrame& frame, TimePoint& due);
  bool StartNextMessageLocked(TimePoint now, TimePoint& due);
  bool SkipFrameLocked(TimePoint now);
  bool BadCopyLocked() const;
  void FinishMessageLocked(TimePoint now);

  void HandleCommandLocked(const StationCommand& command, TimePoint now);
  void AnswerLocked(bool recordChannel, std::uint8_t answer, TimePoint now);
  void StartHistoryLocked();
  void CancelHistoryLocked();
  void SetDateLocked(const StationCommand& command, TimePoint now);
  void SetTimeLocked(const StationCommand& command, TimePoint now);
  void SetClockLocked(const LocalDateTime& when, TimePoint now);

  void ConnectLocked(TimePoint now);
  void UnplugLocked();
  void PlugLocked(TimePoint now);
  void ReplugIfDueLocked(TimePoint now);
  void NoteChangeLocked(DeviceEvent event);

  Message LiveMessageLocked(TimePoint now);
  Message PeriodicMessageLocked(Periodic kind, TimePoint now);
  Message HistoryMessage(unsigned record) const;
  std::string CurrentLiveTextLocked(TimePoint now) const;
  ConsoleTime ConsoleTimeLocked(TimePoint now) const;

  const ConsoleOptions options_;
  std::unique_ptr<ConsoleClock> ownClock_;
  ConsoleClock& clock_;
  const WeatherModel model_;
  const std::vector<std::string> history_;
  const int loggerPercent_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // a command came, or the cable changed
  bool plugged_ = true;
  unsigned connection_ = 0;  // counts unpluggings: a handle lives as long as its connection
  std::optional<TimePoint> replugAt_;
  std::deque<DeviceChange> changes_;
  std::optional<Cursor> current_;
  std::deque<Message> pending_;
  bool downloading_ = false;
  unsigned nextRecord_ = 1;
  std::optional<TimePoint> lastFrameAt_;
  std::array<Timer, kPeriodicCount> timers_{};
  std::array<std::size_t, kPeriodicCount> served_{};  // lines of each file sent so far
  std::string lastServedLive_;
  ConsoleTime clockBase_{};
  TimePoint clockAnchor_{};
  std::vector<bool> skipDone_;
  bool stopDone_ = false;
  bool unplugDone_ = false;
};

// Lists the simulated console while it is plugged in and opens handles to it.
class SimulatedHidBackend : public HidBackend {
 public:
  explicit SimulatedHidBackend(SimulatedConsole& console) : console_(console) {}
  std::vector<HidInterfaceInfo> Enumerate() override;
  std::unique_ptr<StationTransport> Open(const std::string& path) override;

 private:
  SimulatedConsole& console_;
};

}  // namespace nimbrel
