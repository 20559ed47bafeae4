// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/reader.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "station/commands.h"
#include "station/link.h"

namespace nimbrel {

namespace {

// How long a failed read holds the reader back before the next attempt.
constexpr std::chrono::milliseconds kReadErrorPause{50};
// While the device handle is invalid the reader polls at this pace.
constexpr std::chrono::milliseconds kInvalidHandlePoll{100};

bool IsNoHistoryFrame(const StationFrame& frame) {
  return frame[2] == 0xFF && frame[3] == 0xFF && frame[4] == 0xFF && frame[5] == 0xFF;
}

std::size_t Index(Channel channel) {
  return static_cast<std::size_t>(channel);
}

}  // namespace

StationReader::StationReader(const Link& link) : link_(link) {}

void StationReader::Run() {
  do {
    RunPass();
  } while (!link_.state.readerStop);
}

void StationReader::RunPass() {
  frame_.fill(0);
  if (!link_.transport.IsValid()) {
    Pause(kInvalidHandlePoll);
    return;
  }
  switch (link_.transport.ReadFrame(frame_, StationTransport::kReadTimeout)) {
    case ReadResult::kFrame:
      HandleFrame(frame_);
      break;
    case ReadResult::kTimeout:
      break;
    case ReadResult::kError:
      Pause(kReadErrorPause);
      break;
  }
}

void StationReader::HandleFrame(const StationFrame& frame) {
  const bool crcGood = FrameCrcGood(frame);
  if (frame[kFrameType] == MSG_RECORD) {
    HandleRecordFrame(frame, crcGood);
  } else {
    HandleOtherFrame(frame, crcGood);
  }
}

void StationReader::HandleOtherFrame(const StationFrame& frame, bool crcGood) {
  LinkCounters& counters = link_.counters;
  if (!crcGood) {
    if (++counters.badOtherCrc >= kBadCopiesToGiveUp) {
      Acknowledge(CMD_ACK);
      counters.badOtherCrc = 0;
      counters.expectedFrame[Index(Channel::kWu)] = 0;
    } else {
      Acknowledge(CMD_NAK);
    }
    return;
  }
  counters.badOtherCrc = 0;
  Acknowledge(CMD_ACK);
  switch (frame[kFrameType]) {
    case MSG_REQUEST:
      if (frame[3] == 1) {
        link_.state.downloadCancelled = true;  // the console stops sending history
      }
      if (frame[2] == 3) {
        link_.messages.TimeRequest();
      }
      break;
    case MSG_WU_PARAMS:
      if (Reassemble(Channel::kWu, frame)) {
        link_.messages.WuMessage(wuText_);
      }
      break;
    case MSG_WC_PARAMS:
      if (Reassemble(Channel::kWeathercloud, frame)) {
        link_.messages.WeathercloudMessage(weathercloudText_);
      }
      break;
    default:
      break;  // acknowledged so the console goes on; nothing else to do
  }
}

void StationReader::HandleRecordFrame(const StationFrame& frame, bool crcGood) {
  LinkCounters& counters = link_.counters;
  // The console's "nothing stored" answer is recognised before the CRC and never acknowledged.
  if (IsNoHistoryFrame(frame)) {
    link_.messages.NoHistory();
    return;
  }
  // What was given up before the program asked for this download is not part of it.
  if (link_.state.historyRequested.exchange(false)) {
    counters.givenUpCount = 0;
    counters.lastGivenUp.reset();
  }
  if (!crcGood) {
    if (++counters.badRecordCrc >= kBadCopiesToGiveUp) {
      Acknowledge(CMD_RECORD_ACK);
      counters.badRecordCrc = 0;
      counters.expectedFrame[Index(Channel::kRecord)] = 0;
      GiveUpRecord(frame);
    } else {
      Acknowledge(CMD_RECORD_NAK);
    }
    return;
  }
  const bool live = FrameRecordCount(frame) == 0;
  const bool endedEarly = live && EndDownloadForLiveData();
  if (!live && !AcceptHistoryFrame(frame)) {
    return;
  }
  Acknowledge(CMD_RECORD_ACK);
  counters.badRecordCrc = 0;
  if (endedEarly) {
    link_.messages.HistoryEndedEarly(arrived_, link_.state.historyTotal);
  }
  if (Reassemble(Channel::kRecord, frame)) {
    if (live) {
      link_.messages.LiveMessage(recordText_);
    } else {
      StoreHistoryRecord();
    }
  }
}

bool StationReader::EndDownloadForLiveData() {
  SharedState& state = link_.state;
  // What was given up before live data belongs to no later download.
  link_.counters.givenUpCount = 0;
  link_.counters.lastGivenUp.reset();
  // A download whose records are all in is its export's until the export thread ends it.
  if (state.downloadActive && state.historyReady) {
    return false;
  }
  state.downloadCancelled = false;
  return state.downloadActive.exchange(false);
}

bool StationReader::AcceptHistoryFrame(const StationFrame& frame) {
  SharedState& state = link_.state;
  // Nothing may write the store while an export or a merge reads it.
  if (state.downloadCancelled || !state.HasDestination() || state.exportRunning ||
      state.mergeRunning) {
    return false;  // refused: not acknowledged
  }
  if (!state.downloadActive) {
    const unsigned recordCount = FrameRecordCount(frame);
    state.historyTotal = static_cast<int>(recordCount);
    state.historyReady = false;
    remaining_ = recordCount;
    arrived_ = 0;
    // A record never spans two downloads: a frame of a cancelled one, read before the cancel and
    // handled after the next request, must not complete the record it belonged to.
    link_.counters.expectedFrame[Index(Channel::kRecord)] = 0;
    link_.messages.HistoryStart(static_cast<int>(recordCount));
  }
  state.downloadActive = true;
  return true;
}

void StationReader::GiveUpRecord(const StationFrame& frame) {
  LinkCounters& counters = link_.counters;
  const unsigned recordNumber = FrameRecordNumber(frame);
  if (counters.lastGivenUp != recordNumber) {
    ++counters.givenUpCount;
  }
  counters.lastGivenUp = recordNumber;
}

void StationReader::StoreHistoryRecord() {
  SharedState& state = link_.state;
  if (remaining_ <= 0) {
    return;  // every record is accounted for already; a surplus one has no slot
  }
  const long total = state.historyTotal;
  const long slot = total - remaining_;
  // Put refuses slots past the store; without a store nothing is kept.
  if (slot >= 0 && link_.store != nullptr &&
      link_.store->Put(static_cast<std::size_t>(slot), recordText_)) {
    ++arrived_;
  }
  remaining_ -= 1 + link_.counters.givenUpCount;
  link_.counters.givenUpCount = 0;
  link_.messages.HistoryProgress(static_cast<int>(total - std::max(remaining_, 0L)));
  if (remaining_ <= 0) {
    state.historyReady = true;
    link_.messages.HistoryComplete();
  }
}

void StationReader::Acknowledge(const StationCommand& command) {
  SendCommand(link_.transport, link_.state, command);  // the console repeats what it misses
}

bool StationReader::Reassemble(Channel channel, const StationFrame& frame) {
  int& expected = link_.counters.expectedFrame[Index(channel)];
  const int number = frame[kFramePosition] & 0x0F;
  const int count = frame[kFramePosition] >> 4;
  if (++expected != number) {
    expected = 0;  // out of sequence: the message is abandoned
    return false;
  }
  std::span<char> text = channel == Channel::kRecord ? std::span<char>(recordText_)
                         : channel == Channel::kWu   ? std::span<char>(wuText_)
                                                     : std::span<char>(weathercloudText_);
  std::size_t& offset = offsets_[Index(channel)];
  if (number == 1) {
    std::fill(text.begin(), text.end(), '\0');
    offset = 0;
  }
  // Copy only what lies inside the frame and fits the buffer before its terminating zero.
  const std::size_t length = std::min<std::size_t>(frame[kFramePayloadLength], kMaxPayload);
  const std::size_t room = text.size() - 1 - offset;
  const std::size_t taken = std::min(length, room);
  std::memcpy(text.data() + offset, frame.data() + kFramePayload, taken);
  offset += taken;
  if (number == count) {
    expected = 0;
    return true;
  }
  return false;
}

void StationReader::Pause(std::chrono::milliseconds pause) const {
  constexpr std::chrono::milliseconds kStep{10};
  for (auto waited = std::chrono::milliseconds(0); waited < pause && !link_.state.readerStop;
       waited += kStep) {
    std::this_thread::sleep_for(kStep);
  }
}

ReaderThread::~ReaderThread() {
  RequestStop();
  Join();
}

void ReaderThread::Start(const StationReader::Link& link) {
  if (thread_.joinable()) {
    link.state.readerStop = true;
    thread_.join();
  }
  state_ = &link.state;
  // Cleared here rather than in the thread, so a stop requested right after Start is not lost.
  link.state.readerStop = false;
  thread_ = std::thread([link] {
    StationReader reader(link);
    reader.Run();
  });
}

void ReaderThread::RequestStop() {
  if (state_ != nullptr) {
    state_->readerStop = true;
  }
}

void ReaderThread::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

}  // namespace nimbrel
