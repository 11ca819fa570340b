#include "app/window/range_bar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

RangeBar::RangeBar(QWidget* parent) : QWidget(parent) {
  setObjectName("PositionRangeBar");
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
}

void RangeBar::SetMax(int max) {
  max_ = std::max(max, 0);
  update();
  // Positions beyond the new end move back onto it, high first so that the
  // low thumb stays below it.
  if (high_ > max_) ChangeHigh(max_);
  if (low_ > high_) ChangeLow(high_);
}

void RangeBar::SetLow(int low) { ChangeLow(low); }

void RangeBar::SetHigh(int high) { ChangeHigh(high); }

void RangeBar::SetTickFrequency(int seconds) {
  tickFrequency_ = std::max(seconds, 0);
  update();
}

void RangeBar::SetThumbWidth(int pixels) {
  thumbWidth_ = std::max(pixels, 1);
  update();
}

void RangeBar::SetHighThumbVisible(bool visible) {
  highThumbVisible_ = visible;
  update();
}

void RangeBar::ChangeLow(int low) {
  low = std::clamp(low, 0, high_);
  if (low == low_) return;
  low_ = low;
  update();
  if (changesEnabled_) emit lowChanged(low_);
}

void RangeBar::ChangeHigh(int high) {
  high = std::clamp(high, 0, max_);
  if (high == high_) return;
  high_ = high;
  update();
  // The low thumb is pushed along when the stop point moves below it.
  if (low_ > high_) ChangeLow(high_);
  if (changesEnabled_) emit highChanged(high_);
}

int RangeBar::PositionAt(int x) const {
  int track = width() - 2 * kTrackInset;
  if (track <= 0 || max_ <= 0) return 0;
  long long p = (static_cast<long long>(x - kTrackInset) * max_ + track / 2) / track;
  return static_cast<int>(std::clamp<long long>(p, 0, max_));
}

int RangeBar::XOf(int position) const {
  int track = width() - 2 * kTrackInset;
  if (max_ <= 0) return kTrackInset;
  return kTrackInset + static_cast<int>(static_cast<long long>(position) * track / max_);
}

void RangeBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  int mid = height() / 2;
  int left = kTrackInset, right = width() - kTrackInset;
  // Ticks along the bottom edge.
  p.setPen(pal.color(QPalette::Mid));
  if (tickFrequency_ > 0 && max_ > 0 && max_ / tickFrequency_ < 200)
    for (int t = 0; t <= max_; t += tickFrequency_) p.drawLine(XOf(t), height() - 3, XOf(t), height() - 1);
  // The groove, and the selected range inside it.
  QRect groove(left, mid - 2, std::max(right - left, 0), 4);
  p.fillRect(groove, pal.color(QPalette::Base));
  p.setPen(pal.color(QPalette::Dark));
  p.drawRect(groove.adjusted(0, 0, -1, -1));
  QRect range(XOf(low_), mid - 1, XOf(high_) - XOf(low_), 2);
  p.fillRect(range, pal.color(isEnabled() ? QPalette::Highlight : QPalette::Mid));
  // The thumbs: a bar of the thumb width with a pointer half as wide again
  // on each side so that it can be seen and grabbed.
  auto drawThumb = [&](int x, const QColor& colour) {
    int half = std::max(thumbWidth_, 3);
    QRect r(x - half, 1, 2 * half + 1, height() - 5);
    p.fillRect(r, colour);
    p.setPen(pal.color(QPalette::Shadow));
    p.drawRect(r.adjusted(0, 0, -1, -1));
  };
  if (highThumbVisible_) drawThumb(XOf(high_), pal.color(QPalette::Button));
  drawThumb(XOf(low_), isEnabled() ? pal.color(QPalette::Highlight).lighter(130) : pal.color(QPalette::Button));
}

void RangeBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  mouseDown_ = true;
  emit mouseDown();
  int x = event->position().toPoint().x();
  int grab = std::max(thumbWidth_, 3) + 3;
  if (highThumbVisible_ && std::abs(x - XOf(high_)) <= grab && std::abs(x - XOf(low_)) > grab) {
    ChangeHigh(PositionAt(x));
    return;
  }
  if (std::abs(x - XOf(low_)) <= grab) {
    draggingLow_ = true;
    return;
  }
  // A click beside the thumb moves it one page towards the click, never past it.
  int target = PositionAt(x);
  ChangeLow(x < XOf(low_) ? std::max(low_ - pageSize_, target) : std::min(low_ + pageSize_, target));
}

void RangeBar::mouseMoveEvent(QMouseEvent* event) {
  if (draggingLow_) ChangeLow(PositionAt(event->position().toPoint().x()));
}

void RangeBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !mouseDown_) return;
  draggingLow_ = false;
  mouseDown_ = false;
  emit mouseUp();
}

void RangeBar::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left: ChangeLow(low_ - 1); break;
    case Qt::Key_Right: ChangeLow(low_ + 1); break;
    case Qt::Key_PageUp: ChangeLow(low_ - pageSize_); break;
    case Qt::Key_PageDown: ChangeLow(low_ + pageSize_); break;
    case Qt::Key_Home: ChangeLow(0); break;
    case Qt::Key_End: ChangeLow(high_); break;
    default: QWidget::keyPressEvent(event); return;
  }
}
