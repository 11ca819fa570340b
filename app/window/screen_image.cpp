#include "app/window/screen_image.h"

#include <QPainter>
#include <cmath>

#include "core/frame_state.h"

TScreenImage::TScreenImage(QWidget* parent) : QWidget(parent) {
  setObjectName("ScreenImage");
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TScreenImage::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

QRect TScreenImage::CropOutline(int width, int height, double left, double top, double right, double bottom) {
  QPoint a(static_cast<int>(std::lround(width * left)), static_cast<int>(std::lround(height * top)));
  QPoint b(static_cast<int>(std::lround(width * right)), static_cast<int>(std::lround(height * bottom)));
  return QRect(a.x(), a.y(), b.x() - a.x(), b.y() - a.y());
}

void TScreenImage::paintEvent(QPaintEvent*) {
  int state = Frame().PlaybackState.load();
  if (state != 0 && state != 1) return;
  QPainter p(this);
  if (picture_.isNull()) p.fillRect(rect(), Qt::black);
  else {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), picture_);
  }
  const CropFractions& crop = Frame().CropRect;
  p.setPen(QPen(QColor::fromRgba(kCropOutline), 1, Qt::SolidLine));
  p.setBrush(Qt::NoBrush);
  QRect r = CropOutline(width(), height(), crop.left, crop.top, crop.right, crop.bottom);
  // The outline runs on the rectangle's first and last pixel rows and
  // columns, so a full-frame crop stays inside the widget.
  p.drawRect(r.x(), r.y(), r.width() - 1, r.height() - 1);
}
