#pragma once

namespace nimbrel::cli {

struct LiveOptions {
  int count = 0;  // live messages to print; 0: until interrupted
};

// Connects to the console and prints each live text on a line of its own.
int RunLiveCommand(const LiveOptions& options);

}  // namespace nimbrel::cli
