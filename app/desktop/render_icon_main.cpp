// Draws the application icon's PNG sizes from its SVG, at build time, for
// the desktops and menus that take no SVG:
//
//   render_icon ICON.svg OUT_FOLDER SIZE...
//
// writes OUT_FOLDER/<SIZE>x<SIZE>/apps/<name of ICON>.png for every size.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

namespace {
bool RenderSize(QSvgRenderer& svg, int size, const QString& path) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  svg.render(&painter, QRectF(0, 0, size, size));
  painter.end();
  return QDir().mkpath(QFileInfo(path).path()) && image.save(path, "PNG");
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: render_icon ICON.svg OUT_FOLDER SIZE...\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  QSvgRenderer svg(source);
  if (!svg.isValid()) {
    std::fprintf(stderr, "render_icon: cannot read %s\n", argv[1]);
    return 1;
  }
  const QString name = QFileInfo(source).completeBaseName();
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString path = QString("%1/%2x%2/apps/%3.png").arg(QString::fromLocal8Bit(argv[2])).arg(size).arg(name);
    if (size <= 0 || !RenderSize(svg, size, path)) {
      std::fprintf(stderr, "render_icon: cannot write %s\n", path.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
