#pragma once
// The narrow view through which the engine changes the window: position bar,
// labels, banner, buttons, cursor, menu items, the paused picture and the few
// windows the engine shows. The Qt main window implements it with widgets;
// the headless host (batch converter, tests) implements it without any.
//
// Every call is made on the user-interface thread. Streaming threads never
// call the view: they post WM_GRAPHNOTIFY, WM_VIDEO_RELAYOUT and
// WM_RECORD_PROGRESS to the main window (platform/core/messages.h).
#include <string>

class EngineView {
 public:
  virtual ~EngineView() = default;

  // Position bar (PositionRangeBar): seconds. SetPositionLow moves the low
  // thumb without running its change handler. SetPositionHigh runs the
  // high-change handler as a user's move would (it sets the stop point
  // while no recording runs).
  virtual int PositionMax() = 0;
  virtual void SetPositionMax(int seconds) = 0;
  virtual int PositionLow() = 0;
  virtual void SetPositionLow(int seconds) = 0;
  // Moves the low thumb as a user's release would: its change handler runs,
  // which makes it the start point and seeks the graph there.
  virtual void MovePositionLow(int seconds) = 0;
  virtual int PositionHigh() = 0;
  virtual void SetPositionHigh(int seconds) = 0;
  // The user holds a mouse button on the bar.
  virtual bool IsDraggingPosition() = 0;
  // Runs the bar's high-change handler (the low thumb reached the high one).
  virtual void RunPositionHighChange() = 0;
  // Left edge and width of the bar in pixels, for placing the point labels.
  virtual int PositionBarLeft() = 0;
  virtual int PositionBarWidth() = 0;

  // Labels.
  virtual void SetTimeLabel(const std::string& text) = 0;
  // left is the label's new left edge, or -1 to leave it where it is.
  virtual void ShowStartPointLabel(const std::string& caption, int left) = 0;
  // right is where the label's right edge goes (the view subtracts the
  // label's width), or -1 to leave it where it is.
  virtual void ShowEndPointLabel(const std::string& caption, int right) = 0;
  virtual void SetPointLabelsVisible(bool visible) = 0;
  // The progress line (ProgressStatus) and the progress bar (0 to 100).
  virtual void SetProgressStatus(const std::string& text) = 0;
  // A conversion's progress line: its figures (up to and including the
  // two spaces before the output's path) and the output's path. A view
  // short of room shortens the path, never the figures.
  virtual void ShowProgressLine(const std::string& figures, const std::string& outputPath) {
    SetProgressStatus(figures + outputPath + " ");
  }
  virtual void SetProgressBar(int percent) = 0;
  // The size estimate of the output panel changed inputs (range or profile).
  virtual void RefreshSizeEstimate() = 0;

  // Banner above the video panel: text, banner colour (BGR, or -1 for the
  // window colour) and whether the recording transition effects play.
  virtual void ShowBanner(const std::string& text, long bannerColour, bool transition) = 0;

  // Buttons, menu items, cursor.
  virtual void FocusVideoPanel() = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual void EnableSaveAsItems(bool enabled) = 0;         // menu_SetOutputPath, popup_SetOutputPath_menu
  virtual void EnableOutputSettingsMenu(bool enabled) = 0;  // menu_OutputSetting
  virtual void EnableSourceButton(bool enabled) = 0;        // OpenDVDButton
  virtual void EnableTransportButtons(bool enabled) = 0;    // PlayButton, PauseButton, StopButton
  virtual void SetConvertCaption(const std::string& caption) = 0;  // StartRecordingButton and EncodeMenu
  virtual void EnableConvertButton(bool enabled) = 0;
  virtual void EnableThumbnailButton(bool enabled) = 0;     // SaveThumbnailBtn
  virtual void RefreshThumbnailArea() = 0;
  // A new thumbnail's 32 x 24 miniature (a BMP file that exists only
  // during the call) for SaveThumbnailBtn.
  virtual void ShowThumbnailGlyph(const std::string& bmpPath) = 0;
  virtual void RepaintWindow() = 0;

  // Start picture and paused picture. PlacePausedFrame gives the paused
  // picture's place inside the video panel; ShowPausedFrame makes the panel
  // and the picture visible and repaints them from the last captured frame.
  virtual void HideStartLogo() = 0;
  virtual void HidePausedFrame() = 0;
  virtual void PlacePausedFrame(int top, int height, int width) = 0;
  virtual void ShowPausedFrame() = 0;

  // The covers shown while the video grabber is reconnected by hand.
  virtual void ShowBlankScreen(bool visible) = 0;
  virtual void ShowOptimizing(bool visible) = 0;

  // Window-side steps the engine runs: one step of the 500 ms timer (end of
  // range check, progress), the default-output-folder question before the
  // first recording, and the finished notice after the last pass.
  virtual void RunTimerStep() = 0;
  virtual void AskDefaultOutputFolder() = 0;
  virtual void ShowFinishedRecording() = 0;
};

// The engine's view; the front end installs it before it builds a graph.
// Without one the engine's window changes are dropped.
void SetEngineView(EngineView* view);
EngineView& View();
