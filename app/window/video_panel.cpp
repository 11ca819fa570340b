#include "app/window/video_panel.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

#include "app/window/yuy2_image.h"

VideoPanel::VideoPanel(QWidget* parent) : QFrame(parent) {
  setObjectName("Panel1");
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
  setPalette(pal);
  image1_ = new QLabel(this);
  image1_->setObjectName("Image1");
  image1_->setGeometry(0, 26, 469, 300);
  image1_->setAlignment(Qt::AlignCenter);
  image1_->setPixmap(MakeStartPicture(image1_->size()));
  image1_->hide();
}

void VideoPanel::Post(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (target_) target_->Post(msg, wParam, lParam);
}

void VideoPanel::PresentFrame(const BYTE* yuy2, int width, int height, REFERENCE_TIME) {
  // A copy: the sample is only valid for this call.
  QImage image = Yuy2ToImage(yuy2, width, height);
  if (image.isNull()) return;
  {
    std::lock_guard<std::mutex> lock(frameMutex_);
    frame_ = std::move(image);
  }
  // The repaint happens on the window's thread. One request at a time: a
  // renderer that presents faster than the window paints cannot flood its
  // event queue, and the paint shows the newest frame anyway.
  if (repaintQueued_.exchange(true)) return;
  QMetaObject::invokeMethod(this, "RepaintFrame", Qt::QueuedConnection);
}

void VideoPanel::RepaintFrame() {
  repaintQueued_ = false;
  update();
}

void VideoPanel::SetVideoPlacement(int left, int top, int width, int height) {
  videoRect_ = QRect(left, top, width, height);
  update();
}

QImage VideoPanel::LastFrame() const {
  std::lock_guard<std::mutex> lock(frameMutex_);
  return frame_;
}

void VideoPanel::ClearFrame() {
  {
    std::lock_guard<std::mutex> lock(frameMutex_);
    frame_ = QImage();
  }
  update();
}

void VideoPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QImage frame = LastFrame();
  if (frame.isNull() || videoRect_.isEmpty()) return;
  QPainter p(this);
  // The video window's coordinates are those of the inner area, inside
  // the one-pixel border.
  QRect inner = contentsRect();
  p.setClipRect(inner);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(videoRect_.translated(inner.topLeft()), frame);
}

QPixmap MakeStartPicture(const QSize& size) {
  QPixmap pix(size);
  QPainter p(&pix);
  QLinearGradient g(0, 0, 0, size.height());
  g.setColorAt(0, QColor(0x20, 0x2a, 0x3a));
  g.setColorAt(1, QColor(0x05, 0x08, 0x10));
  p.fillRect(pix.rect(), g);
  p.setRenderHint(QPainter::Antialiasing);
  QFont title = p.font();
  title.setPointSize(20);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0xe8, 0xee, 0xf6));
  QRect top(0, 0, size.width(), size.height() * 11 / 20);
  p.drawText(top, Qt::AlignHCenter | Qt::AlignBottom, "Corvane Video Converter");
  QFont sub = p.font();
  sub.setPointSize(10);
  sub.setBold(false);
  p.setFont(sub);
  p.setPen(QColor(0x9a, 0xa8, 0xbc));
  QRect bottom(0, size.height() * 11 / 20 + 8, size.width(), size.height() / 4);
  p.drawText(bottom, Qt::AlignHCenter | Qt::AlignTop, "Choose a video, pick a profile and press Convert");
  return pix;
}
