#pragma once
// A main window without widgets: it implements the engine's view with plain
// values, receives the engine's posted messages on the thread that owns it,
// and runs the window's side of playback and conversion (the 500 ms timer,
// the progress handler, the position bar's handlers). The batch converter
// and the tests run whole conversions through it.
#include <functional>
#include <string>

#include "engine/plain_view.h"
#include "platform/core/messages.h"

struct HostRun {
  bool finished = false;    // the conversion ran to its end (or was stopped on request)
  bool stalled = false;     // no progress for the stall time: stopped
  bool writeFailed = false; // the output could not be written
};

class HeadlessHost : public PlainView {
 public:
  // Installs itself as the engine's view, main window and message pump.
  HeadlessHost();
  ~HeadlessHost() override;
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

  // Builds the graph for path and starts playing it, as opening a file in
  // the window does. True when the source is ready to convert.
  bool OpenSource(const std::string& path);

  // Presses Convert and runs the message loop until the conversion (both
  // passes) has ended. stopRequested is polled; when it says true the
  // conversion is stopped as the user's Yes to "Stop recording?" would.
  // stallSeconds without a new picture stops it as well.
  HostRun Convert(const std::function<bool()>& stopRequested = {}, int stallSeconds = 60);

  // Runs the message loop and the timer for ms milliseconds.
  void Pump(int ms);

  // Called with every progress line (on this thread).
  std::function<void(const std::string&)> onProgress;

  // What the window would show, for the caller to read.
  std::string timeLabel, progressStatus, banner, startPointLabel, endPointLabel, convertCaption;
  int progressBar = 0;
  int finishedNotices = 0;
  bool transportEnabled = true, sourceButtonEnabled = true, outputSettingsEnabled = true;

  // EngineView: the position bar runs its handlers; the rest is recorded.
  void MovePositionLow(int s) override;
  void SetPositionHigh(int s) override;
  void RunPositionHighChange() override;
  void SetTimeLabel(const std::string& t) override { timeLabel = t; }
  void ShowStartPointLabel(const std::string& c, int) override { startPointLabel = c; }
  void ShowEndPointLabel(const std::string& c, int) override { endPointLabel = c; }
  void SetProgressStatus(const std::string& t) override;
  void SetProgressBar(int p) override { progressBar = p; }
  void ShowBanner(const std::string& t, long, bool) override { banner = t; }
  void EnableOutputSettingsMenu(bool e) override { outputSettingsEnabled = e; }
  void EnableSourceButton(bool e) override { sourceButtonEnabled = e; }
  void EnableTransportButtons(bool e) override { transportEnabled = e; }
  void SetConvertCaption(const std::string& c) override { convertCaption = c; }
  void RunTimerStep() override;
  void AskDefaultOutputFolder() override;
  void ShowFinishedRecording() override { ++finishedNotices; }

 private:
  void OnMessage(UINT msg, WPARAM w, LPARAM l);
  // Dispatches what is queued and runs the timer when 500 ms have passed.
  void Step(int waitMs);

  QueuedMessageWindow window_;
  DWORD lastTick_ = 0;
};
