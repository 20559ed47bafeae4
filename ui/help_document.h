// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace nimbrel::ui {

// The file name of the help document.
inline constexpr const char* kHelpDocumentName = "Nimbrel_help.pdf";

// Where the help document is for a program in `programFolder`: beside it (the build tree), else
// in the installed documentation folder <programFolder>/../share/doc/nimbrel. The path beside the
// program when neither exists.
QString HelpDocumentPath(const QString& programFolder);

// The same for this program's own folder.
QString HelpDocumentPath();

// Opens the help document with the desktop's viewer; a missing file or viewer shows nothing.
void OpenHelpDocument();

}  // namespace nimbrel::ui
