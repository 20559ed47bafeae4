#pragma once

#include <QString>

namespace nimbrel::ui {

// The file name of the help document.
inline constexpr const char* kHelpDocumentName = "Nimbrel_help.pdf";

// Where the help document is: beside the executable (the build tree), else in the installed
// documentation folder. The path beside the executable when neither exists.
QString HelpDocumentPath();

// Opens the help document with the desktop's viewer; a missing file or viewer shows nothing.
void OpenHelpDocument();

}  // namespace nimbrel::ui
