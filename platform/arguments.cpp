// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/arguments.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/win32_text.h"
#endif

namespace nimbrel {

#ifdef _WIN32

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    return {argv + (argc > 0 ? 1 : 0), argv + argc};
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    arguments.push_back(WideToUtf8(wide[i]));
  }
  ::LocalFree(wide);
  return arguments;
}

#else

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

#endif

}  // namespace nimbrel
