#pragma once
// TScreenImage: the paused picture inside PausedScreenPanel. It paints only
// while playback is stopped or paused: the frame stretched over its whole
// area and the crop rectangle's outline on top.
#include <QImage>
#include <QWidget>

class TScreenImage : public QWidget {
  Q_OBJECT

 public:
  explicit TScreenImage(QWidget* parent = nullptr);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

  // The outline's colour.
  static constexpr QRgb kCropOutline = 0xFFDDFF00;
  // The outline's rectangle for a widget of width x height: corners at the
  // crop fractions, rounded; right and bottom exclusive.
  static QRect CropOutline(int width, int height, double left, double top, double right, double bottom);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};
