#pragma once
// The position bar under the video panel: a horizontal bar with two thumbs.
// The low thumb is the playing position and the start point, the high thumb
// the stop point; the span between them is drawn as the selected range.
// Positions are whole seconds from 0 to Max, with Low never above High.
#include <QWidget>

class RangeBar : public QWidget {
  Q_OBJECT

 public:
  explicit RangeBar(QWidget* parent = nullptr);

  int Max() const { return max_; }
  void SetMax(int max);
  int Low() const { return low_; }
  void SetLow(int low);
  int High() const { return high_; }
  void SetHigh(int high);
  int PageSize() const { return pageSize_; }
  void SetPageSize(int seconds) { pageSize_ = seconds > 0 ? seconds : 1; }
  int TickFrequency() const { return tickFrequency_; }
  void SetTickFrequency(int seconds);
  int ThumbWidth() const { return thumbWidth_; }
  void SetThumbWidth(int pixels);
  bool HighThumbVisible() const { return highThumbVisible_; }
  void SetHighThumbVisible(bool visible);

  // A mouse button is held on the bar.
  bool IsMouseDown() const { return mouseDown_; }

  // While cleared, lowChanged and highChanged are not emitted: the code
  // clears it around the positions it sets itself.
  bool ChangesEnabled() const { return changesEnabled_; }
  void SetChangesEnabled(bool enabled) { changesEnabled_ = enabled; }

  // Clears ChangesEnabled for its lifetime and restores the earlier value.
  class QuietScope {
   public:
    explicit QuietScope(RangeBar& bar) : bar_(bar), was_(bar.changesEnabled_) { bar_.changesEnabled_ = false; }
    ~QuietScope() { bar_.changesEnabled_ = was_; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

   private:
    RangeBar& bar_;
    bool was_;
  };

  // The inset of the track at each end, in pixels.
  static constexpr int kTrackInset = 9;
  // The position under x, and the x of a position.
  int PositionAt(int x) const;
  int XOf(int position) const;

  QSize sizeHint() const override { return {485, 17}; }

 signals:
  void lowChanged(int low);
  void highChanged(int high);
  void mouseDown();
  void mouseUp();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ChangeLow(int low);
  void ChangeHigh(int high);

  int max_ = 1;
  int low_ = 0;
  int high_ = 1;
  int pageSize_ = 120;
  int tickFrequency_ = 1200;
  int thumbWidth_ = 3;
  bool highThumbVisible_ = false;
  bool changesEnabled_ = true;
  bool mouseDown_ = false;
  bool draggingLow_ = false;
};
