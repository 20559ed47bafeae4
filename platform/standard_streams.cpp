// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/standard_streams.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#endif

namespace nimbrel {

void UseExactStandardStreams() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace nimbrel
