#pragma once
// The process-wide frame state that the main window and the engine share.
// Written and read on the user-interface thread, except where a field says
// otherwise.
#include <atomic>
#include <mutex>
#include <string>

struct CropFractions {
  double left = 0.0, top = 0.0, right = 1.0, bottom = 1.0;
};

class CProfile;

struct FrameState {
  std::string ProgramFolder;           // folder of the program, no trailing '/'
  int SourceReadiness = 0;             // 0 no usable source, 2 ready to record
  std::atomic<bool> IsRecording{false};  // written on the UI thread; read by the capture and encoding threads
  std::atomic<int> PlaybackState{3};   // 0 stopped, 1 paused, 2 playing, 3 closed; written by helper threads
  int RecordStartSec = 0;
  int RecordEndSec = 0;
  double RecordLength = 0.0;
  double TitleLength = 0.0;
  int PassCount = 1;
  int CurrentPass = 1;
  int OutputFormat = 2;                // container code, see the recording encoder
  CProfile* CurrentProfile = nullptr;  // into the profile list, or none
  bool ManualStop = false;
  CropFractions CropRect;
  int ProcessorCount = 1;

  // OutputPath is also changed by the capture thread when a new part file
  // begins, and read by the progress display: it has a lock of its own.
  std::string GetOutputPath() const;
  void SetOutputPath(const std::string& path);

 private:
  mutable std::mutex outputPathMutex_;  // guards outputPath_
  std::string outputPath_;
};

// The one instance.
FrameState& Frame();
