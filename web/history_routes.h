// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "web/query.h"
#include "web/routes.h"

namespace nimbrel::web {

// The most columns a series answer holds, whatever `points` asks.
inline constexpr int kMostPoints = 2000;
inline constexpr int kDefaultPoints = 1000;

// The answers that read the archive, for a query already read and checked for unknown names.
Response SeriesAnswer(const ApiContext& context, const ParsedQuery& query,
                      const DisplayChoice& display);
Response StatsAnswer(const ApiContext& context, const ParsedQuery& query,
                     const DisplayChoice& display);

}  // namespace nimbrel::web
