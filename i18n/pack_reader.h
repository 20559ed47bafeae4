// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "i18n/language.h"

namespace nimbrel {

// The bytes of a pack's text: whole UTF-16 code units up to, not including, the first zero unit.
// An odd last byte belongs to no unit and is left out.
std::span<const std::uint8_t> PackTextBytes(std::span<const std::uint8_t> pack);

// Reads a pack, a UTF-16LE INI text with byte-order mark, into `table`, as the profile-string
// reader would: the key=value lines of the first section named `section` (compared without
// regard to case), keys l1 to l69, the first line of a key winning, blanks around keys and values
// dropped, values cut to kLanguageTextMax units. The table is emptied first. Returns false, with
// the table left empty, when the byte-order mark or the section is missing. Any bytes are safe.
bool ReadLanguagePack(std::span<const std::uint8_t> pack, std::string_view section,
                      LanguageTable& table);

}  // namespace nimbrel
