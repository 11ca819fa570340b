#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "platform/registry/registry.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace {
// A fresh user: home, configuration and working folder of its own.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldCwd = std::filesystem::current_path();
    std::filesystem::create_directories(dir.file("home/.config"));
    std::filesystem::create_directories(dir.file("work"));
    setenv("HOME", dir.file("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.file("home/.config").c_str(), 1);
    std::filesystem::current_path(dir.file("work"));
    SetLogFilePath(dir.file("test.elog"));
  }
  void TearDown() override {
    std::filesystem::current_path(oldCwd);
    SetLogFilePath("");
  }
  static DWORD CodecMode(const char* key, const char* name) {
    HKEY k = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, key, &k) != ERROR_SUCCESS) return 0xFFFFFFFF;
    DWORD v = 0, size = 4;
    LONG rc = RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS ? v : 0xFFFFFFFF;
  }

  TempDir dir;
  std::filesystem::path oldCwd;
};
}  // namespace

TEST_F(SettingsTest, FreshUserGetsEveryDefaultAndTheDesktopOutputPathWrittenBack) {
  LoadSettings();
  const Settings& s = AppSettings();
  EXPECT_EQ(s.dbg, 0);
  EXPECT_EQ(s.adjustSpeed, 1);
  EXPECT_EQ(s.fileNumber, 20001);
  EXPECT_EQ(s.formatMp4, 0);
  EXPECT_FALSE(s.autoStretch);
  EXPECT_EQ(s.nPass, 1);
  EXPECT_DOUBLE_EQ(s.outputFrameRate, 14.985);
  EXPECT_EQ(s.audioVolume, 5);
  EXPECT_EQ(s.disableScreensaver, 1);
  EXPECT_EQ(s.brightnessA, 0);
  EXPECT_FLOAT_EQ(s.brightnessB, 1.0f);
  EXPECT_EQ(s.width, 320);
  EXPECT_EQ(s.height, 240);
  EXPECT_FLOAT_EQ(s.videoBitRate, 350.0f);
  EXPECT_EQ(s.leftRightChannel, 1);
  EXPECT_EQ(s.audioQualityLevel, 2);
  EXPECT_EQ(s.volume, 2048);
  EXPECT_FLOAT_EQ(s.outputSize, 400.0f);
  EXPECT_EQ(s.videoCodec, "XviD MPEG-4 Codec");
  EXPECT_EQ(s.fccHandler, 0x44495658u);
  EXPECT_EQ(s.fccType, 0x63646976u);
  EXPECT_EQ(s.lastProfile, "WMV");
  EXPECT_EQ(s.vcAspect, 0);
  EXPECT_EQ(Frame().OutputFormat, 2);
  EXPECT_EQ(Frame().PassCount, 1);
  EXPECT_EQ(Frame().CurrentPass, 1);

  std::string expected = dir.file("home/Desktop/PSP Movie/M4V20001.MP4");
  EXPECT_EQ(Frame().GetOutputPath(), expected);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("home/Desktop/PSP Movie")));
  EXPECT_STREQ(ReadSettingText("OutputConfig\\LastOutput", ""), expected.c_str());
  EXPECT_STREQ(ReadSettingText("Version", ""), "4.5 Build 02");
  EXPECT_EQ(CodecMode("Software\\GNU\\XviD", "mode"), 0u);
}

TEST_F(SettingsTest, StoredValuesWinAndTheirEdgeCasesRead) {
  WriteSettingInt("OutputConfig", "format_mp4", 1);
  WriteSettingText("OutputConfig", "output_size", "0");
  WriteSettingReal("OutputConfig", "AudioVolume", 7.9);
  WriteSettingText("OutputConfig", "Width", "abc");
  WriteSettingText("OutputConfig", "VideoCodec", std::string(300, 'v').c_str());
  WriteSettingInt("OutputConfig", "n_pass", 2);
  LoadSettings();
  EXPECT_EQ(Frame().GetOutputPath(), dir.file("home/Desktop/PSP Movie/MAQ20001.MP4"));
  EXPECT_FLOAT_EQ(AppSettings().outputSize, 400.0f);
  EXPECT_EQ(AppSettings().audioVolume, 7);  // truncated toward zero
  EXPECT_EQ(AppSettings().width, 0);        // text without digits
  EXPECT_EQ(AppSettings().videoCodec.size(), 127u);
  EXPECT_EQ(Frame().PassCount, 2);
  EXPECT_EQ(CodecMode("Software\\GNU\\XviD", "mode"), 1u);  // two passes, pass 1

  EXPECT_STREQ(ReadSettingText("OutputConfig\\AudioVolume", ""), "7.9000000000");
  EXPECT_EQ(ReadSettingInt("No\\Such", -5), -5);
  EXPECT_DOUBLE_EQ(ReadSettingReal("No\\Such", 2.5), 2.5);
  const char* def = "fallback";
  EXPECT_EQ(ReadSettingText("No\\Such", def), def);
  // A stored text longer than the 511-character buffer is not cut into a
  // wrong value: the read gives the default.
  WriteSettingText("OutputConfig", "LastOutput", std::string(700, 'p').c_str());
  EXPECT_EQ(ReadSettingText("OutputConfig\\LastOutput", def), def);
}

TEST_F(SettingsTest, StoredOutputPathTakesTheExtensionOfTheFormat) {
  WriteSettingText("OutputConfig", "LastOutput", "/videos/v1.2/clip.avi");
  LoadSettings();
  EXPECT_EQ(Frame().GetOutputPath(), "/videos/v1.2/clip.MP4");

  Frame().SetOutputPath("/videos/v1.2/clip");
  Frame().OutputFormat = 6;
  UpdateOutputExtension();
  EXPECT_EQ(Frame().GetOutputPath(), "/videos/v1.2/clip.3gp");
  Frame().OutputFormat = 3;
  UpdateOutputExtension();
  EXPECT_EQ(Frame().GetOutputPath(), "/videos/v1.2/clip.avi");
  Frame().OutputFormat = 42;
  UpdateOutputExtension();
  EXPECT_EQ(Frame().GetOutputPath(), "/videos/v1.2/clip.avi");
  EXPECT_STREQ(ReadSettingText("OutputConfig\\LastOutput", ""), "/videos/v1.2/clip.avi");
  Frame().OutputFormat = 2;
}

TEST_F(SettingsTest, CodecPassHintFollowsTheTableAndLeavesOtherCodecsAlone) {
  WriteCodecPassHint(2, 2, kFourccXvid);
  EXPECT_EQ(CodecMode("Software\\GNU\\XviD", "mode"), 2u);
  WriteCodecPassHint(2, 1, kFourccDivx);
  EXPECT_EQ(CodecMode("Software\\DivXNetworks\\DivX4Windows", "VBR Mode"), 2u);
  WriteCodecPassHint(2, 2, kFourccDivx);
  EXPECT_EQ(CodecMode("Software\\DivXNetworks\\DivX4Windows", "VBR Mode"), 3u);
  WriteCodecPassHint(1, 2, kFourccDivx);
  EXPECT_EQ(CodecMode("Software\\DivXNetworks\\DivX4Windows", "VBR Mode"), 0u);
  std::string before = ReadFileBytes(RegistryFilePath());
  WriteCodecPassHint(2, 1, 0x34363248);  // "H264"
  EXPECT_EQ(ReadFileBytes(RegistryFilePath()), before);
}

TEST_F(SettingsTest, WindowPositionNeedsExactlyFourNumbers) {
  int left = -1, top = -1;
  EXPECT_FALSE(RestoreWindowPosition(&left, &top));
  WriteSettingText("", "WindowSize", "10 20 30");
  EXPECT_FALSE(RestoreWindowPosition(&left, &top));
  WriteSettingText("", "WindowSize", "10 20 30 40 50");
  EXPECT_FALSE(RestoreWindowPosition(&left, &top));
  EXPECT_EQ(left, -1);
  SaveWindowPosition(-8, 120, 800, 600);
  EXPECT_STREQ(ReadSettingText("WindowSize", ""), "-8 120 800 600");
  EXPECT_TRUE(RestoreWindowPosition(&left, &top));
  EXPECT_EQ(left, -8);
  EXPECT_EQ(top, 120);
}

TEST_F(SettingsTest, DamagedSettingsFileNeverLosesTheOtherSettingsSilently) {
  WriteSettingInt("OutputConfig", "file_number", 20077);
  WriteSettingInt("OutputConfig", "Width", 368);
  std::string path = RegistryFilePath();
  std::string good = ReadFileBytes(path);
  // Binary garbage written over the end of the file.
  WriteFileBytes(path, good + std::string("\x00\xFF\x13garbage\x00", 11));
  LoadSettings();
  EXPECT_EQ(AppSettings().fileNumber, 20077);
  EXPECT_EQ(AppSettings().width, 368);
  size_t aside = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.file("home/.config/Corvane")))
    if (e.path().filename().string().find("registry.reg.damaged-") == 0) {
      ++aside;
      EXPECT_EQ(ReadFileBytes(e.path()).substr(0, good.size()), good);
    }
  EXPECT_EQ(aside, 1u);
}

TEST_F(SettingsTest, StartUpImportsTheRegFilesOfTheWorkingFolder) {
  WriteFileBytes("url.reg",
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Corvane\\Corvane Video Converter\\URL\\home]\r\n"
                 "@=\"https://example.org/\"\r\n");
  LoadSettings();
  EXPECT_STREQ(ReadSettingText("URL\\home", ""), "https://example.org/");
}
