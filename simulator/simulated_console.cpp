// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/simulated_console.h"

#include <algorithm>
#include <utility>

#include "simulator/param_texts.h"
#include "station/commands.h"

namespace nimbrel {

namespace {

// A real console sends about one frame a millisecond.
constexpr std::chrono::milliseconds kUsbFrameGap{1};
// A frame that gets no answer this many times in a row is abandoned (and with it a download),
// so that a program that never answers does not hold the console for ever.
constexpr int kMostRefusals = 20;
// Device changes nobody takes are forgotten past this many.
constexpr std::size_t kMostChanges = 16;

constexpr std::uint8_t kRequestTime = 3;  // request frame byte 2: "send me the date and time"
constexpr std::uint8_t kHistoryStop = 1;  // request frame byte 3: history ends here

constexpr std::uint8_t kAnswerGood = CMD_ACK[3];
constexpr std::uint8_t kAnswerBad = CMD_NAK[3];

int FrameCount(const std::string& text) {
  const std::size_t length = std::min(text.size(), kMaxMessageText);
  return std::max(1, static_cast<int>((length + kMaxPayload - 1) / kMaxPayload));
}

StationFrame BuildFrame(const std::array<std::uint8_t, 4>& header, std::uint8_t type,
                        const std::string& text, int number, int frames, bool badCrc) {
  StationFrame frame{};
  frame[kFrameType] = type;
  std::copy(header.begin(), header.end(), frame.begin() + 2);
  frame[kFramePosition] = static_cast<std::uint8_t>(frames << 4 | number);
  const std::size_t offset = static_cast<std::size_t>(number - 1) * kMaxPayload;
  const std::size_t end = std::min(text.size(), kMaxMessageText);
  const std::size_t length = offset < end ? std::min(kMaxPayload, end - offset) : 0;
  std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(offset), length,
              frame.begin() + kFramePayload);
  frame[kFramePayloadLength] = static_cast<std::uint8_t>(length);
  const std::uint16_t crc = StationCrc16(frame.data(), 1, kFrameCrcHigh);
  frame[kFrameCrcHigh] = static_cast<std::uint8_t>(crc >> 8);
  frame[kFrameCrcLow] = static_cast<std::uint8_t>(crc & 0xFF);
  if (badCrc) {
    frame[kFrameCrcLow] ^= 0xFF;
  }
  return frame;
}

// The date and time commands carry their CRC low byte first, all others high byte first.
bool CommandCrcGood(const StationCommand& command) {
  const std::uint16_t crc = StationCrc16(command.data(), 1, 6);
  const bool lowFirst = command[2] == kOpSetDate || command[2] == kOpSetTime;
  const std::uint8_t high = lowFirst ? command[7] : command[6];
  const std::uint8_t low = lowFirst ? command[6] : command[7];
  return high == crc >> 8 && low == (crc & 0xFF);
}

std::vector<std::string> MakeHistory(const ConsoleOptions& options, const WeatherModel& model) {
  if (options.historyLines) {
    return *options.historyLines;
  }
  const std::size_t count = std::min(options.historyRecords, kMaxGeneratedRecords);
  return model.History(count, LoggerPercent(count));
}

}  // namespace

// A device handle: valid while the connection it was opened on lasts.
class SimulatedConsoleHandle : public StationTransport {
 public:
  SimulatedConsoleHandle(SimulatedConsole& console, unsigned connection)
      : console_(console), connection_(connection) {}
  ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override {
    return console_.ReadOn(connection_, frame, timeout);
  }
  bool WriteCommand(const StationCommand& command) override {
    return console_.WriteOn(connection_, command);
  }
  bool IsValid() const override {
    std::lock_guard lock(console_.mutex_);
    return console_.ConnectedLocked(connection_);
  }

 private:
  SimulatedConsole& console_;
  const unsigned connection_;
};

SimulatedConsole::SimulatedConsole(ConsoleOptions options)
    : SimulatedConsole(std::move(options), std::make_unique<SteadyConsoleClock>(), nullptr) {}

SimulatedConsole::SimulatedConsole(ConsoleOptions options, ConsoleClock& clock)
    : SimulatedConsole(std::move(options), nullptr, &clock) {}

SimulatedConsole::SimulatedConsole(ConsoleOptions options, std::unique_ptr<ConsoleClock> ownClock,
                                   ConsoleClock* clock)
    : options_(std::move(options)),
      ownClock_(std::move(ownClock)),
      clock_(clock != nullptr ? *clock : *ownClock_),
      model_(options_.seed),
      history_(MakeHistory(options_, model_)),
      loggerPercent_(LoggerPercent(history_.size())),
      skipDone_(options_.faults.skipFrame.size(), false) {
  const auto& periods = options_.periods;
  timers_[kLive].period = periods.live;
  timers_[kWu].period = periods.wu;
  timers_[kWeathercloud].period = periods.weathercloud;
  timers_[kTimeRequest].period = periods.timeRequest;
  const TimePoint now = clock_.Now();
  clockAnchor_ = now;
  clockBase_ = options_.clock
                   ? ToConsoleTime(*options_.clock)
                   : model_.HistoryStart() + kHistoryInterval * static_cast<long>(history_.size());
  std::lock_guard lock(mutex_);
  ConnectLocked(now);
}

SimulatedConsole::~SimulatedConsole() = default;

ReadResult SimulatedConsole::ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) {
  return ReadOn(std::nullopt, frame, timeout);
}

bool SimulatedConsole::WriteCommand(const StationCommand& command) {
  return WriteOn(std::nullopt, command);
}

bool SimulatedConsole::IsValid() const {
  std::lock_guard lock(mutex_);
  return ConnectedLocked(std::nullopt);
}

void SimulatedConsole::Unplug() {
  std::lock_guard lock(mutex_);
  UnplugLocked();
}

void SimulatedConsole::Plug() {
  std::lock_guard lock(mutex_);
  PlugLocked(clock_.Now());
}

bool SimulatedConsole::Plugged() const {
  std::lock_guard lock(mutex_);
  return plugged_;
}

std::optional<DeviceChange> SimulatedConsole::PollDeviceChange() {
  std::lock_guard lock(mutex_);
  ReplugIfDueLocked(clock_.Now());
  if (changes_.empty()) {
    return std::nullopt;
  }
  DeviceChange change = std::move(changes_.front());
  changes_.pop_front();
  return change;
}

LocalDateTime SimulatedConsole::ConsoleDateTime() const {
  std::lock_guard lock(mutex_);
  return FromConsoleTime(ConsoleTimeLocked(clock_.Now()));
}

std::string SimulatedConsole::CurrentLiveText() const {
  std::lock_guard lock(mutex_);
  return CurrentLiveTextLocked(clock_.Now());
}

ReadResult SimulatedConsole::ReadOn(std::optional<unsigned> connection, StationFrame& frame,
                                    std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const TimePoint deadline = clock_.Now() + timeout;
  while (true) {
    if (!ConnectedLocked(connection)) {
      return ReadResult::kError;
    }
    const TimePoint now = clock_.Now();
    TimePoint due = TimePoint::max();
    if (ProduceFrameLocked(now, frame, due)) {
      return ReadResult::kFrame;
    }
    if (now >= deadline) {
      return ReadResult::kTimeout;
    }
    clock_.WaitUntil(lock, wake_, std::min(due, deadline));
  }
}

bool SimulatedConsole::WriteOn(std::optional<unsigned> connection, const StationCommand& command) {
  std::lock_guard lock(mutex_);
  if (!ConnectedLocked(connection)) {
    return false;
  }
  HandleCommandLocked(command, clock_.Now());
  wake_.notify_all();
  return true;
}

bool SimulatedConsole::ConnectedLocked(std::optional<unsigned> connection) const {
  return plugged_ && (!connection || *connection == connection_);
}

std::optional<unsigned> SimulatedConsole::OpenConnection() {
  std::lock_guard lock(mutex_);
  ReplugIfDueLocked(clock_.Now());
  return plugged_ ? std::optional<unsigned>(connection_) : std::nullopt;
}

// The next frame to go out, if one is due by `now`; otherwise `due` says when one will be.
bool SimulatedConsole::ProduceFrameLocked(TimePoint now, StationFrame& frame, TimePoint& due) {
  while (true) {
    if (!current_ && !StartNextMessageLocked(now, due)) {
      return false;
    }
    Cursor& cursor = *current_;
    if (cursor.awaitingAnswer) {
      // The reader read on without answering: the frame was refused.
      cursor.awaitingAnswer = false;
      if (++cursor.refusals >= kMostRefusals) {
        if (cursor.message.record != 0) {
          downloading_ = false;
        }
        current_.reset();
        continue;
      }
      cursor.notBefore = cursor.lastSent + options_.refusedPause;
    }
    if (SkipFrameLocked(now)) {
      continue;
    }
    TimePoint ready = cursor.notBefore;
    if (options_.pace == ConsolePace::kUsb && lastFrameAt_) {
      ready = std::max(ready, *lastFrameAt_ + kUsbFrameGap);
    }
    if (ready > now) {
      due = std::min(due, ready);
      return false;
    }
    const bool bad = BadCopyLocked();
    frame = BuildFrame(cursor.message.header, cursor.message.type, cursor.message.text,
                       cursor.frame, cursor.frames, bad);
    ++cursor.copies;
    cursor.lastCopyBad = bad;
    cursor.lastSent = now;
    lastFrameAt_ = now;
    if (cursor.message.acknowledged) {
      cursor.awaitingAnswer = true;
    } else {
      FinishMessageLocked(now);
    }
    return true;
  }
}

bool SimulatedConsole::StartNextMessageLocked(TimePoint now, TimePoint& due) {
  std::optional<Message> next;
  if (downloading_) {
    next = HistoryMessage(nextRecord_);
  } else {
    if (pending_.empty()) {
      // The console's own messages wait while a download is under way.
      for (std::size_t kind = 0; kind < kPeriodicCount; ++kind) {
        Timer& timer = timers_[kind];
        if (timer.period.count() == 0) {
          continue;
        }
        if (now >= timer.next) {
          pending_.push_back(PeriodicMessageLocked(static_cast<Periodic>(kind), now));
          timer.next = now + timer.period;
        }
        due = std::min(due, timer.next);
      }
    }
    if (pending_.empty()) {
      return false;
    }
    next = std::move(pending_.front());
    pending_.pop_front();
  }
  Cursor cursor;
  cursor.frames = FrameCount(next->text);
  cursor.message = std::move(*next);
  current_ = std::move(cursor);
  return true;
}

bool SimulatedConsole::SkipFrameLocked(TimePoint now) {
  Cursor& cursor = *current_;
  if (cursor.message.record == 0 || cursor.copies != 0) {
    return false;
  }
  const auto& faults = options_.faults.skipFrame;
  for (std::size_t i = 0; i < faults.size(); ++i) {
    if (!skipDone_[i] && faults[i].record == cursor.message.record &&
        static_cast<int>(faults[i].frame) == cursor.frame) {
      skipDone_[i] = true;
      if (++cursor.frame > cursor.frames) {
        FinishMessageLocked(now);
      }
      return true;
    }
  }
  return false;
}

bool SimulatedConsole::BadCopyLocked() const {
  const Cursor& cursor = *current_;
  return cursor.message.record != 0 &&
         std::any_of(options_.faults.badCrc.begin(), options_.faults.badCrc.end(),
                     [&cursor](const ConsoleFaults::BadCrc& fault) {
                       return fault.record == cursor.message.record && cursor.copies < fault.copies;
                     });
}

void SimulatedConsole::FinishMessageLocked(TimePoint now) {
  const unsigned record = current_->message.record;
  current_.reset();
  if (record == 0 || !downloading_) {
    return;
  }
  nextRecord_ = record + 1;
  if (nextRecord_ > history_.size()) {
    downloading_ = false;
  }
  const ConsoleFaults& faults = options_.faults;
  if (faults.stopAfter == record && !stopDone_) {
    stopDone_ = true;
    downloading_ = false;
    pending_.emplace_front(MSG_REQUEST, std::array<std::uint8_t, 4>{0, kHistoryStop, 0, 0});
  }
  if (faults.unplugAfter == record && !unplugDone_) {
    unplugDone_ = true;
    UnplugLocked();
    replugAt_ = now + options_.replugDelay;
  }
}

void SimulatedConsole::HandleCommandLocked(const StationCommand& command, TimePoint now) {
  if (command[1] != CMD_CANCEL[1] || command[8] != CMD_CANCEL[8] || !CommandCrcGood(command)) {
    return;  // a damaged command is not understood
  }
  const std::uint8_t opcode = command[2];
  if (opcode == CMD_ACK[2] || opcode == CMD_RECORD_ACK[2]) {
    AnswerLocked(opcode == CMD_RECORD_ACK[2], command[3], now);
  } else if (opcode == CMD_CANCEL[2]) {
    CancelHistoryLocked();
  } else if (opcode == CMD_REFRESH[2]) {
    pending_.push_back(LiveMessageLocked(now));
  } else if (opcode == CMD_HISTORY[2]) {
    StartHistoryLocked();
  } else if (opcode == kOpSetDate) {
    SetDateLocked(command, now);
  } else if (opcode == kOpSetTime) {
    SetTimeLocked(command, now);
  }
}

void SimulatedConsole::AnswerLocked(bool recordChannel, std::uint8_t answer, TimePoint now) {
  if (!current_ || !current_->awaitingAnswer ||
      (current_->message.type == MSG_RECORD) != recordChannel ||
      (answer != kAnswerGood && answer != kAnswerBad)) {
    return;  // nothing waits for this answer
  }
  Cursor& cursor = *current_;
  cursor.awaitingAnswer = false;
  cursor.refusals = 0;
  if (answer == kAnswerBad) {
    cursor.notBefore = now;  // the same frame again, at once
    return;
  }
  // Accepting a bad copy means the reader gave it up: the console goes on with its next message.
  if (cursor.lastCopyBad || ++cursor.frame > cursor.frames) {
    FinishMessageLocked(now);
    return;
  }
  cursor.copies = 0;
}

void SimulatedConsole::StartHistoryLocked() {
  if (options_.faults.noHistory || history_.empty()) {
    pending_.emplace_back(MSG_RECORD, std::array<std::uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF},
                          std::string(), false);
    return;
  }
  CancelHistoryLocked();  // a new request starts over
  downloading_ = true;
  nextRecord_ = 1;
}

void SimulatedConsole::CancelHistoryLocked() {
  if (current_ && current_->message.record != 0) {
    current_.reset();
  }
  downloading_ = false;
}

void SimulatedConsole::SetDateLocked(const StationCommand& command, TimePoint now) {
  LocalDateTime when = FromConsoleTime(ConsoleTimeLocked(now));
  when.year = 2000 + command[3];
  when.month = command[4];
  when.day = command[5];
  if (IsValidDate(when.year, when.month, when.day)) {
    SetClockLocked(when, now);
  }
}

void SimulatedConsole::SetTimeLocked(const StationCommand& command, TimePoint now) {
  LocalDateTime when = FromConsoleTime(ConsoleTimeLocked(now));
  when.hour = command[3];
  when.minute = command[4];
  when.second = command[5];
  if (when.hour < 24 && when.minute < 60 && when.second < 60) {
    SetClockLocked(when, now);
  }
}

void SimulatedConsole::SetClockLocked(const LocalDateTime& when, TimePoint now) {
  clockBase_ = ToConsoleTime(when);
  clockAnchor_ = now;
}

ConsoleTime SimulatedConsole::ConsoleTimeLocked(TimePoint now) const {
  return clockBase_ + std::chrono::floor<std::chrono::seconds>(now - clockAnchor_);
}

void SimulatedConsole::ConnectLocked(TimePoint now) {
  pending_.push_back(LiveMessageLocked(now));
  pending_.push_back(PeriodicMessageLocked(kTimeRequest, now));
  for (Timer& timer : timers_) {
    timer.next = now + timer.period;
  }
}

void SimulatedConsole::UnplugLocked() {
  if (!plugged_) {
    return;
  }
  plugged_ = false;
  ++connection_;
  current_.reset();
  pending_.clear();
  downloading_ = false;
  lastFrameAt_.reset();
  replugAt_.reset();
  NoteChangeLocked(DeviceEvent::kRemoval);
  wake_.notify_all();
}

void SimulatedConsole::PlugLocked(TimePoint now) {
  if (plugged_) {
    return;
  }
  plugged_ = true;
  replugAt_.reset();
  ConnectLocked(now);
  NoteChangeLocked(DeviceEvent::kArrival);
  wake_.notify_all();
}

void SimulatedConsole::ReplugIfDueLocked(TimePoint now) {
  if (!plugged_ && replugAt_ && now >= *replugAt_) {
    PlugLocked(now);
  }
}

void SimulatedConsole::NoteChangeLocked(DeviceEvent event) {
  if (changes_.size() == kMostChanges) {
    changes_.pop_front();
  }
  changes_.push_back({event, std::string(kSimulatedConsolePath)});
}

SimulatedConsole::Message SimulatedConsole::LiveMessageLocked(TimePoint now) {
  std::string text;
  if (options_.liveLines) {
    const auto& lines = *options_.liveLines;
    text = lines[served_[kLive]++ % lines.size()];
    lastServedLive_ = text;
  } else {
    text = CurrentLiveTextLocked(now);
  }
  return {MSG_RECORD, {0, 0, 0, 0}, std::move(text)};
}

SimulatedConsole::Message SimulatedConsole::PeriodicMessageLocked(Periodic kind, TimePoint now) {
  if (kind == kLive) {
    return LiveMessageLocked(now);
  }
  if (kind == kTimeRequest) {
    return {MSG_REQUEST, {kRequestTime, 0, 0, 0}, {}};
  }
  const bool wu = kind == kWu;
  const auto& lines = wu ? options_.wuLines : options_.weathercloudLines;
  std::string text;
  if (lines) {
    text = (*lines)[served_[kind]++ % lines->size()];
  } else {
    const std::string live = CurrentLiveTextLocked(now);
    text = wu ? WuParamText(live) : WeathercloudParamText(live);
  }
  return {wu ? MSG_WU_PARAMS : MSG_WC_PARAMS, {0, 0, 0, 0}, std::move(text)};
}

SimulatedConsole::Message SimulatedConsole::HistoryMessage(unsigned record) const {
  const auto count = static_cast<unsigned>(history_.size());
  // Numbered from 0 on the wire, so that even the last of 65535 records (count and number both
  // 0xFFFF otherwise) never reads as the no-history frame.
  const unsigned number = record - 1;
  return {MSG_RECORD,
          {static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count),
           static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)},
          history_[record - 1],
          true,
          record};
}

std::string SimulatedConsole::CurrentLiveTextLocked(TimePoint now) const {
  if (options_.liveLines) {
    return lastServedLive_.empty() ? options_.liveLines->front() : lastServedLive_;
  }
  return model_.RecordAt(ConsoleTimeLocked(now), loggerPercent_);
}

std::vector<HidInterfaceInfo> SimulatedHidBackend::Enumerate() {
  if (!console_.OpenConnection()) {
    return {};
  }
  return {{std::string(kSimulatedConsolePath), kStationVendorId, kStationProductId,
           kStationUsagePage, kStationUsage}};
}

std::unique_ptr<StationTransport> SimulatedHidBackend::Open(const std::string& path) {
  if (path != kSimulatedConsolePath) {
    return nullptr;
  }
  const std::optional<unsigned> connection = console_.OpenConnection();
  if (!connection) {
    return nullptr;
  }
  return std::make_unique<SimulatedConsoleHandle>(console_, *connection);
}

}  // namespace nimbrel
