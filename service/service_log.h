// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string_view>

namespace nimbrel {

// A line for the service's log; `detail` lines only show with --verbose.
using ServiceLogLine = std::function<void(std::string_view line, bool detail)>;

}  // namespace nimbrel
