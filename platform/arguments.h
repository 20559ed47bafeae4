// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace nimbrel {

// The program's arguments after its name. File names in them are the system's bytes on Linux
// and UTF-8 on Windows, where argv would hold them in the old code page and lose what it lacks.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace nimbrel
