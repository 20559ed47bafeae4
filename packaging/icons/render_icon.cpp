// SPDX-License-Identifier: GPL-3.0-or-later
// render_icon: draws the program's SVG icon into the PNG sizes of the hicolor icon theme.
//
//   render_icon <nimbrel.svg> <hicolor folder> <size>...
//
// Writes <hicolor folder>/<size>x<size>/apps/nimbrel.png for each size.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

std::optional<int> ParseSize(const char* text) {
  int size = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, size);
  if (error != std::errc() || stop != end || size < 1 || size > 1024) {
    return std::nullopt;
  }
  return size;
}

bool Render(QSvgRenderer& renderer, int size, const QString& hicolor) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
  }
  const QString side = QString::number(size);
  const QString folder = hicolor + QStringLiteral("/%1x%1/apps").arg(side);
  return QDir().mkpath(folder) && image.save(folder + QStringLiteral("/nimbrel.png"), "PNG");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: render_icon <icon.svg> <hicolor folder> <size>...\n", stderr);
    return 2;
  }
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "render_icon: %s is not a valid SVG picture\n", argv[1]);
    return 1;
  }
  const QString hicolor = QString::fromLocal8Bit(argv[2]);
  for (int i = 3; i < argc; ++i) {
    const std::optional<int> size = ParseSize(argv[i]);
    if (!size) {
      std::fprintf(stderr, "render_icon: '%s' is not a size in pixels\n", argv[i]);
      return 2;
    }
    if (!Render(renderer, *size, hicolor)) {
      std::fprintf(stderr, "render_icon: cannot write the %d-pixel icon\n", *size);
      return 1;
    }
  }
  return 0;
}
