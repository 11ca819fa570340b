#include "engine/engine_view.h"

namespace {
// Without a front end the engine's window changes go nowhere; the position
// bar still keeps its values, since the engine reads them back.
class NoView : public EngineView {
 public:
  int PositionMax() override { return max_; }
  void SetPositionMax(int s) override { max_ = s; }
  int PositionLow() override { return low_; }
  void SetPositionLow(int s) override { low_ = s; }
  void MovePositionLow(int s) override { low_ = s; }
  int PositionHigh() override { return high_; }
  void SetPositionHigh(int s) override { high_ = s; }
  bool IsDraggingPosition() override { return false; }
  void RunPositionHighChange() override {}
  int PositionBarLeft() override { return 0; }
  int PositionBarWidth() override { return 0; }
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

 private:
  int max_ = 1, low_ = 0, high_ = 1;
};

EngineView* g_view = nullptr;  // user-interface thread only
}  // namespace

void SetEngineView(EngineView* view) { g_view = view; }

EngineView& View() {
  static NoView none;
  return g_view ? *g_view : none;
}
