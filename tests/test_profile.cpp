#include "profiles/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "core/frame_state.h"
#include "profiles/wm_codec_info.h"
#include "tests/support/test_support.h"

namespace {
class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldFolder = Frame().ProgramFolder;
    Frame().ProgramFolder = dir.path();
    std::filesystem::create_directories(dir.file("profile"));
    setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  }
  void TearDown() override {
    Frame().ProgramFolder = oldFolder;
    unsetenv("XDG_DATA_HOME");
  }
  // A shipped profile, in the program's folder.
  void WriteProfileFile(const std::string& name, const std::string& text) {
    WriteFileBytes(dir.file("profile/" + name + ".pr"), text);
  }
  // Where WriteProfile saves: the user's folder.
  std::string Saved(const std::string& name) { return dir.file("data/Corvane/profile/" + name + ".pr"); }

  static CProfile Mpeg4Profile() {
    CProfile p;
    p.device = "PSP";
    p.fileext = "MP4";
    p.t = 90;
    p.ss = 30;
    p.vcodec = "mpeg4";
    p.vcodecList = {"mpeg4", "h264"};
    p.s = "320x240";
    p.sList = {"320x240", "368x208"};
    p.b = 768;
    p.bList = {"512", "768"};
    p.r = 29.97;
    p.rList = {"29.97", "14.985"};
    p.acodec = "aac";
    p.acodecList = {"aac"};
    p.ac = "2";
    p.acList = {"1", "2"};
    p.ab = 128;
    p.abList = {"96", "128"};
    p.ar = 48000;
    p.arList = {"24000", "48000"};
    return p;
  }

  TempDir dir;
  std::string oldFolder;
};

void ExpectSameFields(const CProfile& a, const CProfile& b) {
  EXPECT_EQ(a.device, b.device);
  EXPECT_EQ(a.fileext, b.fileext);
  EXPECT_EQ(a.vcodec, b.vcodec);
  EXPECT_EQ(a.vcodecList, b.vcodecList);
  EXPECT_EQ(a.s, b.s);
  EXPECT_EQ(a.sList, b.sList);
  EXPECT_EQ(a.b, b.b);
  EXPECT_EQ(a.bList, b.bList);
  EXPECT_DOUBLE_EQ(a.r, b.r);
  EXPECT_EQ(a.rList, b.rList);
  EXPECT_EQ(a.acodec, b.acodec);
  EXPECT_EQ(a.acodecList, b.acodecList);
  EXPECT_EQ(a.ac, b.ac);
  EXPECT_EQ(a.acList, b.acList);
  EXPECT_EQ(a.ab, b.ab);
  EXPECT_EQ(a.abList, b.abList);
  EXPECT_EQ(a.ar, b.ar);
  EXPECT_EQ(a.arList, b.arList);
}
}  // namespace

TEST_F(ProfileTest, WrittenFileHasTheExactLinesWithCrLfAndReadsBackFieldForField) {
  CProfile p = Mpeg4Profile();
  ASSERT_EQ(WriteProfile(p, "Mine"), 0);
  std::string disk = ReadFileBytes(Saved("Mine"));
  EXPECT_EQ(disk.rfind("device  = \"PSP\" \r\nfileext = \"MP4\" \r\nt       = 0 \r\nss      = 0 \r\n", 0), 0u);
  EXPECT_NE(disk.find("\r\nvcodec  = \"mpeg4\" { \"mpeg4\", \"h264\" }\r\n"), std::string::npos);
  EXPECT_NE(disk.find("\r\nb\t    = 768 { \"512\", \"768\" }\r\n"), std::string::npos);
  EXPECT_NE(disk.find("\r\nr       = 29.97 { \"29.97\", \"14.985\" }\r\n"), std::string::npos);
  EXPECT_NE(disk.find("\r\nar\t    = 48000 { \"24000\", \"48000\" }\r\n"), std::string::npos);
  EXPECT_EQ(disk.find("an"), std::string::npos);
  EXPECT_EQ(disk.find('\n'), disk.find("\r\n") + 1);

  CProfile back;
  ASSERT_TRUE(ReadProfile(back, "Mine"));
  EXPECT_EQ(back.name, "Mine");
  EXPECT_EQ(back.t, 0);
  EXPECT_EQ(back.ss, 0);
  ExpectSameFields(back, p);
}

TEST_F(ProfileTest, WindowsMediaProfileIsWrittenWithoutAudioRatesAndEmptyListsEndTheirLine) {
  CProfile p = Mpeg4Profile();
  p.vcodec = "Windows Media Video 9";
  p.vcodecList.clear();
  p.acodec = "Windows Media Audio 9.2";
  p.aformat = "128 kbps, 44 kHz, stereo 1-pass CBR";
  ASSERT_EQ(WriteProfile(p, "W"), 0);
  std::string disk = ReadFileBytes(Saved("W"));
  EXPECT_NE(disk.find("vcodec  = \"Windows Media Video 9\" { }\r\ns\t    = "), std::string::npos);
  EXPECT_NE(disk.find("acodec  = \"Windows Media Audio 9.2\" \r\naformat = \"128 kbps, 44 kHz, stereo 1-pass CBR\" \r\n"),
            std::string::npos);
  EXPECT_EQ(disk.find("ab\t"), std::string::npos);
  EXPECT_EQ(disk.find("ar\t"), std::string::npos);
  EXPECT_EQ(disk.find("ac\t"), std::string::npos);
  CProfile back;
  ASSERT_TRUE(ReadProfile(back, "W"));
  EXPECT_TRUE(back.vcodecList.empty());
  EXPECT_EQ(back.s, "320x240");
  EXPECT_EQ(back.aformat, p.aformat);
}

TEST_F(ProfileTest, HandWrittenSpellingsReadTheSameAndCapitalKeysAreIgnored) {
  WriteProfileFile("Hand",
                   "device=PSP\n"
                   "vcodec\t=\t\"h264\"{\"h264\",\"mpeg4\"}\n"
                   "s = 480X272 { 480x272 , 320x240 }\n"
                   "b   =  \"500\" { \"500\" }\n"
                   "r=\"14.985\"\n"
                   "AB = 999 { \"999\" }\n"
                   "ab = 96\n"
                   "t = 12abc\n"
                   "garbage without equals\n"
                   "\n");
  CProfile p;
  p.ab = 1;
  ASSERT_TRUE(ReadProfile(p, "Hand"));
  EXPECT_EQ(p.device, "PSP");
  EXPECT_EQ(p.vcodec, "h264");
  EXPECT_EQ(p.vcodecList, (ChoiceList{"h264", "mpeg4"}));
  EXPECT_EQ(p.s, "480X272");
  EXPECT_EQ(p.sList, (ChoiceList{"480x272", "320x240"}));
  EXPECT_EQ(p.b, 500);
  EXPECT_DOUBLE_EQ(p.r, 14.985);
  EXPECT_TRUE(p.rList.empty());
  EXPECT_EQ(p.ab, 96);
  EXPECT_EQ(p.abList, ChoiceList{});
  EXPECT_EQ(p.t, 12);
  int w = 0, h = 0;
  EXPECT_TRUE(ParseProfileSize(p.s, &w, &h));
  EXPECT_EQ(w, 480);
  EXPECT_EQ(h, 272);
  EXPECT_FALSE(ParseProfileSize("0x240", &w, &h));
  EXPECT_FALSE(ParseProfileSize("source", &w, &h));
}

TEST_F(ProfileTest, LongLinesAndQuotesInTextsDoNotCorruptOtherKeys) {
  // A choice list far longer than any fixed line buffer stays one line.
  std::string items;
  for (int i = 0; i < 100; ++i) items += "\"" + std::to_string(100 + i) + "\", ";
  WriteProfileFile("Long", "b = 768 { " + items + "\"999\" }\r\nab = 64 { \"64\" }\r\n");
  CProfile p;
  ASSERT_TRUE(ReadProfile(p, "Long"));
  EXPECT_EQ(p.bList.size(), 101u);
  EXPECT_EQ(p.ab, 64);

  CProfile q = Mpeg4Profile();
  q.device = "PS\"P";
  ASSERT_EQ(WriteProfile(q, "Quote"), 0);
  CProfile back;
  ASSERT_TRUE(ReadProfile(back, "Quote"));
  EXPECT_EQ(back.device, "PS'P");
  EXPECT_EQ(back.vcodecList, q.vcodecList);
}

TEST_F(ProfileTest, WriteFailsForNamesAndFoldersItCannotCreateAndKeepsTheOldFile) {
  CProfile p = Mpeg4Profile();
  std::string failure = "old";
  EXPECT_EQ(WriteProfile(p, "a/b", &failure), -1);
  EXPECT_EQ(failure, "") << "a name that is no file name is the name's fault";
  EXPECT_EQ(WriteProfile(p, "../escape"), -1);
  EXPECT_EQ(WriteProfile(p, ""), -1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("data/Corvane/escape.pr")));
  ASSERT_EQ(WriteProfile(p, "Keep"), 0);
  std::string before = ReadFileBytes(Saved("Keep"));
  if (geteuid() != 0) {
    chmod(dir.file("data/Corvane/profile").c_str(), 0555);
    p.b = 1;
    EXPECT_EQ(WriteProfile(p, "Keep", &failure), -1);
    EXPECT_EQ(failure, dir.file("data/Corvane/profile") + ": Permission denied");
    chmod(dir.file("data/Corvane/profile").c_str(), 0755);
    EXPECT_EQ(ReadFileBytes(Saved("Keep")), before);
  }
  // A folder that cannot be made is named with the system's reason.
  setenv("XDG_DATA_HOME", dir.file("profile/Keep.pr").c_str(), 1);
  WriteProfileFile("Keep", "b = 5\n");
  EXPECT_EQ(WriteProfile(p, "Other", &failure), -1);
  EXPECT_EQ(failure, dir.file("profile/Keep.pr/Corvane/profile") + ": Not a directory");
  CProfile untouched;
  untouched.b = 7;
  EXPECT_FALSE(ReadProfile(untouched, "Nope"));
  EXPECT_EQ(untouched.b, 7);
  EXPECT_EQ(untouched.name, "");
}

TEST_F(ProfileTest, TheUsersProfilesFollowTheShippedOnesAndOneOfTheSameNameTakesItsPlace) {
  WriteProfileFile("Shipped", "b = 768\n");
  WriteProfileFile("Both", "b = 500\nab = 64\n");
  CProfile mine = Mpeg4Profile();
  mine.b = 333;
  ASSERT_EQ(WriteProfile(mine, "Both"), 0);
  mine.b = 444;
  ASSERT_EQ(WriteProfile(mine, "Mine"), 0);
  EXPECT_EQ(ReadFileBytes(dir.file("profile/Both.pr")), "b = 500\nab = 64\n") << "the shipped file stays";
  std::vector<CProfile> list;
  const int sel = LoadProfileList(list, "Mine");
  ASSERT_EQ(list.size(), 3u);
  ASSERT_GE(sel, 0);
  EXPECT_EQ(list[sel].name, "Mine");
  EXPECT_EQ(list[sel].b, 444);
  EXPECT_EQ(list.back().name, "Mine") << "the user's own come after the shipped ones";
  const auto both = std::find_if(list.begin(), list.end(), [](const CProfile& p) { return p.name == "Both"; });
  ASSERT_NE(both, list.end());
  EXPECT_EQ(both->b, 333);
  EXPECT_EQ(both->ab, 128);
  CProfile one;
  ASSERT_TRUE(ReadProfile(one, "Both"));
  EXPECT_EQ(one.b, 333);
}

TEST_F(ProfileTest, ListReusesOneRecordAndSelectsTheLastProfile) {
  WriteProfileFile("A", "vcodec = \"mpeg4\" { \"mpeg4\" }\nab = 96\n");
  WriteProfileFile("B", "vcodec = \"h264\"\n");
  mkdir(dir.file("profile/Dir.pr").c_str(), 0755);
  WriteFileBytes(dir.file("profile/notes.txt"), "not a profile");
  std::vector<CProfile> list;
  int sel = LoadProfileList(list, "B");
  ASSERT_EQ(list.size(), 2u);
  ASSERT_GE(sel, 0);
  EXPECT_EQ(list[sel].name, "B");
  int a = list[0].name == "A" ? 0 : 1;
  EXPECT_EQ(list[a].ab, 96);
  // A key missing from a file keeps the value of the file read before it.
  if (a == 0) {
    EXPECT_EQ(list[1].ab, 96);
    EXPECT_EQ(list[1].vcodecList, ChoiceList{});
  } else {
    EXPECT_EQ(list[1].ab, 96);
    EXPECT_EQ(list[0].ab, 0);
  }
  EXPECT_EQ(LoadProfileList(list, "missing"), 0);
  std::filesystem::remove_all(dir.file("profile"));
  EXPECT_EQ(LoadProfileList(list, "A"), -1);
  EXPECT_TRUE(list.empty());
}

TEST_F(ProfileTest, OutputFormatRulesRunInOrder) {
  CProfile p;
  auto run = [&](const char* v, const char* a, const char* device = "PSP") {
    p.vcodec = v;
    p.acodec = a;
    p.device = device;
    return ApplyProfileRules(p, 2, 0);
  };
  EXPECT_EQ(run("XVID", "MP3").outputFormat, 3);
  EXPECT_EQ(run("mpeg4", "mp3").outputFormat, 3);
  ProfileOutput o = run("MPEG4", "AAC");
  EXPECT_EQ(o.outputFormat, 2);
  EXPECT_EQ(o.mp4VideoCodec, 0);
  o = run("h264", "aac");
  EXPECT_EQ(o.outputFormat, 2);
  EXPECT_EQ(o.mp4VideoCodec, 1);
  EXPECT_EQ(run("mpeg2video", "mp2").outputFormat, 4);
  o = run("h263", "amr_nb", "mobile3gp");
  EXPECT_EQ(o.outputFormat, 6);
  EXPECT_EQ(o.threeGpKind, 0);
  EXPECT_EQ(run("mpeg4", "mpeg4aac", "mobile3gp").threeGpKind, 3);
  EXPECT_EQ(run("mpeg4", "amr_nb", "Mobile3gp").outputFormat, 2);  // device case counts
  o = ApplyProfileRules(p, 7, 1);
  p.vcodec = "theora";
  p.acodec = "vorbis";
  o = ApplyProfileRules(p, 7, 1);
  EXPECT_EQ(o.outputFormat, 7);
  EXPECT_EQ(o.mp4VideoCodec, 1);
  o = run("wmv2", "Windows Media Audio 9.2");
  EXPECT_EQ(o.outputFormat, 1);
  EXPECT_TRUE(o.windowsMedia);
  EXPECT_TRUE(IsWindowsMediaProfile(p));
  p.vcodec = "windows media video 9";
  EXPECT_TRUE(IsWindowsMediaProfile(p));
  p.vcodec = "WM";
  EXPECT_FALSE(IsWindowsMediaProfile(p));
}

TEST_F(ProfileTest, WindowsMediaAudioListsTakeTheFirstWma9CodecUpToItsAvFormats) {
  CProfile p;
  p.acodecList = {"old"};
  p.aformatList = {"old"};
  FillWindowsMediaAudioLists(p);
  ASSERT_EQ(p.acodecList.size(), 1u);
  EXPECT_EQ(p.acodecList[0].rfind("Windows Media Audio 9", 0), 0u);
  ASSERT_FALSE(p.aformatList.empty());
  for (const auto& f : p.aformatList) {
    EXPECT_EQ(f.find("24 bit"), std::string::npos) << f;
    EXPECT_EQ(f.find("(A/V) CBR"), std::string::npos) << f;
    EXPECT_EQ(f.find("VBR"), std::string::npos) << f;
  }
  // Every format before the first "(A/V) CBR" one that is not "24 bit".
  WMCodecInfo info;
  int codec = -1;
  for (int i = 0; i < info.GetCodecInfoCount(); ++i)
    if (info.GetCodecName(i) == p.acodecList[0]) codec = i;
  ASSERT_GE(codec, 0);
  info.SetVbrEnabled(codec, false);
  size_t expected = 0;
  bool sawTwentyFour = false;
  for (int j = 0; j < info.GetCodecFormatCount(codec); ++j) {
    std::string d = info.GetCodecFormatDesc(codec, j);
    if (d.find("(A/V) CBR") != std::string::npos) break;
    if (d.find("24 bit") != std::string::npos) sawTwentyFour = true;
    else ++expected;
  }
  EXPECT_TRUE(sawTwentyFour);
  EXPECT_EQ(p.aformatList.size(), expected);
}

TEST_F(ProfileTest, ShippedProfilesAreWhatThePspPlays) {
  Frame().ProgramFolder = std::filesystem::current_path().string();  // tests run beside the programs
  std::vector<CProfile> list;
  ASSERT_GE(LoadProfileList(list, "WMV"), 0);
  int sel = LoadProfileList(list, "WMV");
  EXPECT_EQ(list[sel].name, "WMV");
  bool lowRate = false, avc480 = false, mpeg4Wide = false;
  for (auto& p : list) {
    ProfileOutput o = ApplyProfileRules(p, 2, 0);
    if (o.windowsMedia) continue;
    int w = 0, h = 0;
    ASSERT_TRUE(ParseProfileSize(p.s, &w, &h)) << p.name;
    EXPECT_EQ(o.outputFormat, 2) << p.name;
    EXPECT_EQ(w % 16, 0) << p.name;
    EXPECT_EQ(h % 16, 0) << p.name;
    EXPECT_TRUE(p.r == 29.97 || p.r == 14.985) << p.name;
    EXPECT_TRUE(p.ar == 24000 || p.ar == 48000) << p.name;
    EXPECT_LE(ProfileChannels(p), 2) << p.name;
    EXPECT_EQ(p.acodec, "aac") << p.name;
    if (o.mp4VideoCodec == 0) EXPECT_LE(w * h, 76800) << p.name;
    else EXPECT_LE(w * h, 480 * 272) << p.name;
    lowRate |= p.r == 14.985;
    avc480 |= o.mp4VideoCodec == 1 && w == 480 && h == 272;
    mpeg4Wide |= o.mp4VideoCodec == 0 && w == 368 && h == 208;
  }
  EXPECT_TRUE(lowRate);
  EXPECT_TRUE(avc480);
  EXPECT_TRUE(mpeg4Wide);
}

TEST(ProfileText, ANulOrCarriageReturnReadsAsTheBlankItIsSavedAs) {
  // A damaged file with a NUL or a lone carriage return inside a Windows
  // Media codec name: what is read must be what gets written, or the next
  // read gives another profile (here, another kind of profile).
  static const char kNul[] = "vcodec  = \"Windows\0Media Video 9\" { }\r\nacodec = \"aac\" { }\r\n";
  static const char kCr[] = "vcodec  = \"Windows\rMedia Video 8\" { }\r\nacodec = \"aac\" { }\r\n";
  const std::pair<std::string, const char*> cases[] = {{std::string(kNul, sizeof(kNul) - 1), "Windows Media Video 9"},
                                                         {std::string(kCr, sizeof(kCr) - 1), "Windows Media Video 8"}};
  for (const auto& [text, name] : cases) {
    CProfile first;
    ParseProfileText(first, text);
    EXPECT_EQ(first.vcodec, name);
    EXPECT_TRUE(IsWindowsMediaProfile(first));
    const std::string written = FormatProfileText(first);
    CProfile second;
    ParseProfileText(second, written);
    EXPECT_EQ(second.vcodec, first.vcodec);
    EXPECT_EQ(FormatProfileText(second), written);
  }
}
