#pragma once

#include "cli/options.h"

namespace nimbrel::cli {

// archive sync | export | info: the weather archive from the command line.
int RunArchiveCommand(const GlobalOptions& options);

}  // namespace nimbrel::cli
