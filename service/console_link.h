// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "upload/upload_request.h"

namespace nimbrel {

class Archive;

// What the console's reader hands to the service, on the reader's thread. Neither call may wait
// for anything slow: the reader reads the next frame only once they return.
class StationEvents {
 public:
  virtual ~StationEvents() = default;
  // The live text of the console's last message, without its trailing zeros.
  virtual void LiveText(std::string_view text) = 0;
  // A parameter text for an upload to `service`.
  virtual void UploadText(ServerIndex service, std::string_view parameterText) = 0;
};

// Where the console link stands, for any thread to read.
enum class ConsoleState : std::uint8_t {
  kStarting,   // not looked for yet
  kConnected,  // live texts arrive
  kBusy,       // another program (the window) holds the console; the service waits for it
  kAbsent,     // not found, or gone; the service looks for it again
  kStopped,    // the service has ended
};

// Why a connection failed.
struct ConnectFailure {
  std::string text;
  bool busy = false;  // another program holds the console
};

// The console as the service sees it. The command line builds it on the USB console or the
// built-in one; the service calls it from its own thread only.
class ConsoleLink {
 public:
  virtual ~ConsoleLink() = default;
  // Finds the console, starts its reader, which hands over to `events`, and greets the console.
  virtual std::optional<ConnectFailure> Connect(StationEvents& events) = 0;
  // Stops the reader and releases the console; nothing when not connected.
  virtual void Disconnect() = 0;
  // False once the console has gone since it was connected.
  virtual bool Alive() = 0;
  // Downloads the console's history log and merges what arrived into `archive`, all of it or not;
  // `line` tells what the merge found (empty: nothing to say). True when the whole log arrived
  // and was merged.
  virtual bool Sync(Archive& archive, std::string& line) = 0;
};

}  // namespace nimbrel
