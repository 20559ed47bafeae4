// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/options.h"

namespace nimbrel::cli {

enum class DownloadEnd { kComplete, kIncomplete };

// How one download of the console's history log went.
struct DownloadResult {
  DownloadEnd end = DownloadEnd::kIncomplete;
  int accounted = 0;  // records stored or given up
};

// What a downloading command does once the download is over, with the console still connected.
using DownloadFinish =
    std::function<int(Console& console, const DownloadResult& result, const InterruptWatcher&)>;

// How a download that does not complete is reported: what the user lost ("no file was written")
// and the text for an interrupt.
struct DownloadTexts {
  std::string_view lost;
  std::string_view cancelled;
};

// Connects to the console the options name and downloads its history log for `destination` (the
// reader takes history frames only while one is chosen). A download that does not complete is
// reported on stderr with `texts`; `finish` runs either way
// and its result is the command's. Returns 1 or 2 without calling `finish` when no download
// could start.
int RunDownload(const GlobalOptions& options, long stallSeconds, const std::string& destination,
                const DownloadTexts& texts, const DownloadFinish& finish);

int Fail(std::string_view text);

}  // namespace nimbrel::cli
