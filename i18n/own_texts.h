// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

#include "i18n/language.h"

namespace nimbrel {

// Texts of our own that the five packs do not carry, in every language: a table keyed by number
// like the packs' l1 to l69, so that a panel looks up both the same way. Placeholders %1, %2 are
// filled in by the panel.
inline constexpr int kFirstOwnKey = 1;
inline constexpr int kLastOwnKey = 8;

// The keys, by what they name.
inline constexpr int kOwnDownloadToArchive = 1;  // the archive-only download's button
inline constexpr int kOwnArchiveRecords = 2;     // "Archive: %1 records"
inline constexpr int kOwnArchiveNotInUse = 3;
inline constexpr int kOwnArchiveOpening = 4;
inline constexpr int kOwnLastMerge = 5;  // "Last merge: %1" (a date and time)
inline constexpr int kOwnNoMergeYet = 6;
inline constexpr int kOwnMerging = 7;
inline constexpr int kOwnIncomplete = 8;  // "%1, incomplete": the last merge lacked records

// The text of an own key in a language; empty for any other key.
std::u16string_view OwnText(LanguageIndex language, int key);

}  // namespace nimbrel
