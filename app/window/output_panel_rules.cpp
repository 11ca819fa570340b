#include "app/window/output_panel_rules.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/playback.h"
#include "settings/settings.h"

std::string HmsText(int seconds) { return TimeText(seconds); }

namespace {
// A negative or overlong time is no range a recording can use.
int ClampSeconds(long long seconds) {
  if (seconds < 0) return 0;
  return seconds > INT_MAX ? INT_MAX : static_cast<int>(seconds);
}
}  // namespace

int ParseTimeCell(const std::string& text) {
  int h = 0, m = 0, s = 0;
  if (std::sscanf(text.c_str(), "%9d:%9d:%9d", &h, &m, &s) == 3) return ClampSeconds(h * 3600LL + m * 60LL + s);
  if (std::sscanf(text.c_str(), "%9d:%9d", &m, &s) == 2) return ClampSeconds(m * 60LL + s);
  if (std::sscanf(text.c_str(), "%9d", &s) == 1) return ClampSeconds(s);
  return 0;
}

std::string DurationCellText(int seconds) { return seconds == 0 ? "Full" : HmsText(seconds); }

int LeadingInt(const std::string& text) {
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

double LeadingReal(const std::string& text) {
  double v = std::strtod(text.c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

std::string MbPerMinuteText(int videoKbps, int audioKbps) {
  double total = static_cast<double>(videoKbps) + audioKbps;
  char text[64];
  std::snprintf(text, sizeof(text), "About %.1f MB per minute", total * 60 * 0.125 / 1024);
  return text;
}

std::string EstimatedSizeText(double titleSeconds, int videoKbps, int audioKbps) {
  double total = static_cast<double>(videoKbps) + audioKbps;
  // Nearest integer with ties to even, as the estimate has always rounded.
  double mb = std::nearbyint(titleSeconds * total * 0.125 / 1024 + 0.5);
  char text[64];
  std::snprintf(text, sizeof(text), "Estimated size: %d MB", mb > INT_MAX ? INT_MAX : static_cast<int>(mb));
  return text;
}

std::string OutputPathInFolder(const std::string& folderText, const std::string& outputPath,
                               int outputFormat) {
  std::string folder = folderText;
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  size_t slash = outputPath.rfind('/');
  if (slash != std::string::npos) return folder + outputPath.substr(slash);
  return folder + "/untitled." + OutputFormatExtension(outputFormat);
}

std::string FolderWithSlash(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

FileFilter SaveAsFilter(int outputFormat) {
  if (outputFormat == 0 || outputFormat == 3) return {"AVI", "avi"};
  if (outputFormat == 1) return {"WMV", "wmv"};
  return {"MP4", "mp4"};
}

std::string QtFilterText(const FileFilter& filter) {
  return filter.name + " (*." + filter.extension + ")";
}
