#include "core/frame_state.h"

std::string FrameState::GetOutputPath() const {
  std::lock_guard<std::mutex> lock(outputPathMutex_);
  return outputPath_;
}

void FrameState::SetOutputPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(outputPathMutex_);
  outputPath_ = path.substr(0, 511);
}

FrameState& Frame() {
  static FrameState state;
  return state;
}
