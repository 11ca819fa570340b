#pragma once
// Panel1, the video panel: shows the frames the video renderer presents
// (packed 4:2:2 from its streaming thread) at the video window's place,
// and the start picture Image1 until a source plays. Messages posted to the
// panel's handle go on to the main window.
#include <QFrame>
#include <QImage>
#include <atomic>
#include <mutex>

#include "platform/core/messages.h"
#include "platform/dshow/dshow.h"

class QLabel;

class VideoPanel : public QFrame, public MessageWindow, public IVideoFrameSink {
  Q_OBJECT

 public:
  explicit VideoPanel(QWidget* parent = nullptr);

  // Where posted messages go (the main window).
  void SetMessageTarget(MessageWindow* target) { target_ = target; }
  void Post(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // Any thread: converts the frame and schedules a repaint.
  void PresentFrame(const BYTE* yuy2, int width, int height, REFERENCE_TIME start) override;

  // The video window's place inside the panel's inner area.
  void SetVideoPlacement(int left, int top, int width, int height);
  QRect VideoPlacement() const { return videoRect_; }
  // The last presented frame (null before the first).
  QImage LastFrame() const;
  // Forgets the last frame (a new source).
  void ClearFrame();

  QLabel* StartPicture() const { return image1_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private slots:
  // Queued by PresentFrame: the window's thread repaints the newest frame.
  void RepaintFrame();

 private:
  MessageWindow* target_ = nullptr;
  QLabel* image1_;
  QRect videoRect_;
  mutable std::mutex frameMutex_;  // guards frame_ (written by the renderer's thread)
  QImage frame_;
  std::atomic<bool> repaintQueued_{false};  // a repaint request is on its way to the window's thread
};

// The start picture shown in Image1: the product name on a dark panel.
QPixmap MakeStartPicture(const QSize& size);
