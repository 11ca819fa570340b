#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/frame_state.h"
#include "platform/core/paths.h"
#include "platform/registry/registry.h"
#include "settings/device_file_name.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {
const char kGroup[] = "OutputConfig";

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/tmp";
}

// The file part of a path: from its last '/' on, the '/' included.
bool FilePart(const std::string& path, std::string* part) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return false;
  *part = path.substr(slash);
  return true;
}

// Position of the '.' that starts the file name's extension, or npos. A dot
// in a folder name is not an extension.
size_t ExtensionDot(const std::string& path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
  return dot;
}
}  // namespace

std::string WorkingOrProgramFile(const std::string& name) {
  // A program started from a desktop menu does not run in its own folder,
  // so the files shipped beside it are looked for there as well.
  if (PathExists(name)) return name;
  std::string folder = Frame().ProgramFolder.empty() ? ProgramDataFolder() : Frame().ProgramFolder;
  std::string beside = JoinPath(folder, name);
  return PathExists(beside) ? beside : name;
}

Settings& AppSettings() {
  static Settings s;
  return s;
}

std::string OutputFormatExtension(int outputFormat) {
  switch (outputFormat) {
    case 0: case 3: return "avi";
    case 1: return "wmv";
    case 2: return "mp4";
    case 4: return "mpg";
    case 5: return "vob";
    case 6: return "3gp";
    case 7: return "mov";
    default: return "";
  }
}

std::string DesktopFolder() {
  // xdg-user-dirs keeps the desktop's name in user-dirs.dirs as
  // XDG_DESKTOP_DIR="$HOME/Desktop".
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string config = xdg && xdg[0] == '/' ? std::string(xdg) : HomeFolder() + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DESKTOP_DIR=";
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = HomeFolder() + value.substr(5);
    if (!value.empty() && value[0] == '/' && value != HomeFolder() && value != HomeFolder() + "/")
      return value;
  }
  return HomeFolder() + "/Desktop";
}

std::string ChooseDesktopPspMovieFolder() {
  std::string path = Frame().GetOutputPath();
  std::string folder = DesktopFolder() + "/PSP Movie";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::string part;
  if (!FilePart(path, &part)) {
    std::string ext = OutputFormatExtension(Frame().OutputFormat);
    part = ext.empty() ? "" : "/untitled." + ext;
  }
  path = folder + part;
  Frame().SetOutputPath(path);
  WriteSettingText(kGroup, "LastOutput", Frame().GetOutputPath().c_str());
  return Frame().GetOutputPath();
}

void UpdateOutputExtension() {
  std::string path = Frame().GetOutputPath();
  std::string ext = OutputFormatExtension(Frame().OutputFormat);
  if (!ext.empty()) {
    size_t dot = ExtensionDot(path);
    path = (dot == std::string::npos ? path : path.substr(0, dot)) + "." + ext;
    Frame().SetOutputPath(path);
  }
  WriteSettingText(kGroup, "LastOutput", Frame().GetOutputPath().c_str());
}

void WriteCodecPassHint(int passCount, int currentPass, DWORD fccHandler) {
  if (passCount == 0) passCount = AppSettings().nPass;
  if (currentPass == 0) currentPass = Frame().CurrentPass;
  if (fccHandler == 0) fccHandler = AppSettings().fccHandler;
  const char* keyPath;
  const char* valueName;
  DWORD pass1, pass2;
  if (fccHandler == kFourccXvid) {
    keyPath = "Software\\GNU\\XviD";
    valueName = "mode";
    pass1 = 1;
    pass2 = 2;
  } else if (fccHandler == kFourccDivx) {
    keyPath = "Software\\DivXNetworks\\DivX4Windows";
    valueName = "VBR Mode";
    pass1 = 2;
    pass2 = 3;
  } else {
    return;
  }
  DWORD mode = 0;
  if (passCount == 1) mode = 0;
  else if (currentPass == 1) mode = pass1;
  else if (currentPass == 2) mode = pass2;
  HKEY key = nullptr;
  if (RegCreateKeyA(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS) return;
  RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode), sizeof(mode));
  RegCloseKey(key);
}

void SaveWindowPosition(int left, int top, int width, int height) {
  char text[64];
  std::snprintf(text, sizeof(text), "%d %d %d %d", left, top, width, height);
  WriteSettingText("", "WindowSize", text);
}

bool RestoreWindowPosition(int* left, int* top) {
  std::string text = ReadSettingText("WindowSize", "");
  if (text.empty()) return false;
  std::istringstream in(text);
  int v[4];
  for (int& x : v)
    if (!(in >> x)) return false;
  std::string rest;
  if (in >> rest) return false;  // more than four numbers, or text after them
  *left = v[0];
  *top = v[1];
  return true;
}

void LoadSettings() {
  // 1. The two .reg files in the working folder; a missing one is skipped.
  ImportRegFile(WorkingOrProgramFile("codec.reg"));
  ImportRegFile(WorkingOrProgramFile("url.reg"));

  // 2. Clear the in-memory settings.
  Settings& s = AppSettings();
  s = Settings{};
  FrameState& f = Frame();

  // 3.
  s.dbg = ReadSettingInt("dbg", 0);
  s.adjustSpeed = ReadSettingInt("adjust_speed", 1);

  // 4. The output format starts as MP4 in every run.
  f.OutputFormat = 2;

  // 5.
  s.fileNumber = ReadSettingInt("OutputConfig\\file_number", 20001);
  s.formatMp4 = ReadSettingInt("OutputConfig\\format_mp4", 0);
  s.autoStretch = ReadSettingInt("OutputConfig\\auto_stretch", 0) != 0;
  s.nPass = ReadSettingInt("OutputConfig\\n_pass", 1);
  f.PassCount = s.nPass;
  f.CurrentPass = 1;

  // 6.
  s.outputFrameRate = ReadSettingReal("OutputConfig\\OutputFrameRate", 14.985);
  s.audioVolume = static_cast<int>(ReadSettingReal("OutputConfig\\AudioVolume", 5));
  s.shutdownWhenDone = false;
  s.disableScreensaver = ReadSettingInt("OutputConfig\\disable_screensaver", 1);
  s.brightnessA = ReadSettingInt("OutputConfig\\brightness_a", 0);
  s.brightnessB = static_cast<float>(ReadSettingReal("OutputConfig\\brightness_b", 1.0));

  // 7. A first run names the output after the device's scheme, in the
  // home folder (in place of the root of drive C), then moves it to the desktop.
  f.SetOutputPath(ReadSettingText("OutputConfig\\LastOutput", ""));
  if (f.GetOutputPath().empty()) {
    f.SetOutputPath(HomeFolder() + "/" + DeviceFileName(s.fileNumber, s.formatMp4));
    ChooseDesktopPspMovieFolder();
  }

  // 8. The extension of the output format.
  {
    std::string path = f.GetOutputPath();
    size_t dot = ExtensionDot(path);
    if (dot != std::string::npos) path.resize(dot);
    path += (f.OutputFormat == 0 || f.OutputFormat == 3) ? ".avi" : f.OutputFormat == 1 ? ".wmv" : ".MP4";
    f.SetOutputPath(path);
  }

  // 9.
  s.width = ReadSettingInt("OutputConfig\\Width", 320);
  s.height = ReadSettingInt("OutputConfig\\Height", 240);
  s.videoBitRate = static_cast<float>(ReadSettingInt("OutputConfig\\VideoBitRate", 350));
  s.leftRightChannel = ReadSettingInt("OutputConfig\\left_right_channel", 1);
  s.audioQualityLevel = ReadSettingInt("OutputConfig\\audio_quality_level", 2);
  s.volume = ReadSettingInt("OutputConfig\\Volume", 2048);
  s.outputSize = static_cast<float>(ReadSettingReal("OutputConfig\\output_size", 400));
  if (s.outputSize == 0.0f) s.outputSize = 400.0f;

  // 10.
  s.videoCodec = std::string(ReadSettingText("OutputConfig\\VideoCodec", "XviD MPEG-4 Codec")).substr(0, 127);
  s.fccHandler = static_cast<DWORD>(ReadSettingInt("OutputConfig\\fcc_handler", static_cast<int>(kFourccXvid)));
  s.fccType = static_cast<DWORD>(ReadSettingInt("OutputConfig\\fcc_type", 0x63646976));

  // 11, 12.
  WriteCodecPassHint();
  WriteSettingText("", "Version", "4.5 Build 02");

  // 13.
  s.lastProfile = ReadSettingText("OutputConfig\\last_profile", "WMV");
  s.vcAspect = ReadSettingInt("OutputConfig\\vc_aspect", 0);
}
