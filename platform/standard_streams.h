// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace nimbrel {

// Makes stdout and stderr carry the program's bytes unchanged: on Windows they would otherwise
// turn "\n" into "\r\n" (JSON lines and piped files would differ from other systems) and show
// UTF-8 texts in the console's old code page. Nothing to do elsewhere.
void UseExactStandardStreams();

}  // namespace nimbrel
