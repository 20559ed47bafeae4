// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace nimbrel {

// Windows names devices, files and hosts in UTF-16; the rest of the program speaks UTF-8.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

}  // namespace nimbrel
