#pragma once
// A view without widgets: the position bar is a plain model the engine can
// read back, and everything else goes nowhere. The engine uses it when no
// front end has installed a view; the headless host builds on it.
#include "engine/engine_view.h"

class PlainView : public EngineView {
 public:
  int PositionMax() override { return positionMax; }
  void SetPositionMax(int s) override { positionMax = s; }
  int PositionLow() override { return positionLow; }
  void SetPositionLow(int s) override { positionLow = s; }
  void MovePositionLow(int s) override { positionLow = s; }
  int PositionHigh() override { return positionHigh; }
  void SetPositionHigh(int s) override { positionHigh = s; }
  bool IsDraggingPosition() override { return dragging; }
  void RunPositionHighChange() override {}
  int PositionBarLeft() override { return 7; }
  int PositionBarWidth() override { return 485; }
  void SetTimeLabel(const std::string&) override {}
  void ShowStartPointLabel(const std::string&, int) override {}
  void ShowEndPointLabel(const std::string&, int) override {}
  void SetPointLabelsVisible(bool) override {}
  void SetProgressStatus(const std::string&) override {}
  void SetProgressBar(int) override {}
  void RefreshSizeEstimate() override {}
  void ShowBanner(const std::string&, long, bool) override {}
  void FocusVideoPanel() override {}
  void SetBusyCursor(bool) override {}
  void EnableSaveAsItems(bool) override {}
  void EnableOutputSettingsMenu(bool) override {}
  void EnableSourceButton(bool) override {}
  void EnableTransportButtons(bool) override {}
  void SetConvertCaption(const std::string&) override {}
  void EnableConvertButton(bool) override {}
  void EnableThumbnailButton(bool) override {}
  void RefreshThumbnailArea() override {}
  void ShowThumbnailGlyph(const std::string&) override {}
  void RepaintWindow() override {}
  void HideStartLogo() override {}
  void HidePausedFrame() override {}
  void PlacePausedFrame(int, int, int) override {}
  void ShowPausedFrame() override {}
  void ShowBlankScreen(bool) override {}
  void ShowOptimizing(bool) override {}
  void RunTimerStep() override {}
  void AskDefaultOutputFolder() override {}
  void ShowFinishedRecording() override {}

  int positionMax = 1, positionLow = 0, positionHigh = 1;
  bool dragging = false;
};
