// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "i18n/language.h"

namespace nimbrel {

// The bytes of a language's pack file as built into the program (defined in a source that the
// build generates from i18n/packs/). Empty for a value outside the five languages.
std::span<const std::uint8_t> EmbeddedPackBytes(LanguageIndex language);

}  // namespace nimbrel
