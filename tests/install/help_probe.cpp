// SPDX-License-Identifier: GPL-3.0-or-later
// Prints where the help button looks for the help document of a program in the given folder.
#include <cstdio>

#include "ui/help_document.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: install_help_probe <program folder>\n", stderr);
    return 2;
  }
  const QString path = nimbrel::ui::HelpDocumentPath(QString::fromLocal8Bit(argv[1]));
  std::puts(path.toLocal8Bit().constData());
  return 0;
}
