// SPDX-License-Identifier: GPL-3.0-or-later
// A bare Qt Widgets window of the program's size, shown until the given number of seconds (4 by
// default) have passed: the yardstick for the window's idle memory in docs/performance.md.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <charconv>
#include <cstring>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int seconds = 4;
  if (argc > 1) {
    std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), seconds);
  }
  QWidget window;
  window.setFixedSize(900, 600);
  window.show();
  QTimer::singleShot(seconds * 1000, &application, &QApplication::quit);
  return QApplication::exec();
}
