// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "i18n/language.h"

namespace nimbrel::web {

// The page's texts in every language, from the packs and our own table, as one JSON object:
// {"en":{"now":"Now",…},"de":{…},…}. The page looks its words up by these keys.
std::string PageTextsJson(const LanguageTables& packs);

}  // namespace nimbrel::web
