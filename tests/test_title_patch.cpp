#include "transfer/title_patch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "core/diag_log.h"
#include "encode/encoder_params.h"
#include "tests/synth/synthetic_recording.h"
#include "tests/support/test_support.h"
#include "transfer/utf16_text.h"

namespace {
namespace fs = std::filesystem;

std::string Ffmpeg(const std::string& args) {
  int rc = -1;
  std::string out = RunCommand("ffmpeg -nostdin -v error -y " + args + " 2>&1", &rc);
  EXPECT_EQ(rc, 0) << out;
  return out;
}

// Small fixtures made once by the ffmpeg command line: movie box last (as our
// writer makes them), movie box first (written for streaming), and no title.
class TitleFixtures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const std::string src =
        "-f lavfi -i testsrc=size=160x120:rate=30000/1001 -f lavfi -i sine -t 1 -c:v mpeg4 -c:a aac -f psp ";
    Ffmpeg(src + "-metadata title=Hello " + dir_->file("last.mp4"));
    Ffmpeg(src + "-movflags +faststart -metadata title=Hello " + dir_->file("first.mp4"));
    Ffmpeg(src + dir_->file("untitled.mp4"));
    // Some megabytes with the movie box first: a title change copies them
    // in several blocks.
    Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=30000/1001 -f lavfi -i sine -t 4 -c:v mpeg4 -b:v 6M "
           "-c:a aac -f psp -movflags +faststart -metadata title=Hello " + dir_->file("big-first.mp4"));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { SetLogFilePath(work_.file("test.elog")); }
  void TearDown() override { SetLogFilePath(""); }

  std::string Copy(const std::string& fixture, const std::string& name) {
    fs::copy_file(dir_->file(fixture), work_.file(name));
    return work_.file(name);
  }

  // Every decoded frame of every stream, hashed.
  static std::string DecodedHashes(const std::string& path) {
    return RunCommand("ffmpeg -nostdin -v error -i '" + path + "' -map 0 -f framemd5 - 2>&1");
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(work_.file("test.elog")));
    for (std::string line; std::getline(in, line);) {
      unsigned tick = std::stoul(line.substr(0, 8), nullptr, 16);
      unsigned char key = static_cast<unsigned char>((tick % 256) ^ kLogScrambleKey);
      std::string text;
      for (size_t i = 8; i + 1 < line.size(); i += 2) {
        auto b = static_cast<unsigned char>(std::stoul(line.substr(i, 2), nullptr, 16) ^ key);
        text.push_back(static_cast<char>(b));
        key ^= b;
      }
      lines.push_back(text);
    }
    return lines;
  }

  static TempDir* dir_;
  TempDir work_;
};
TempDir* TitleFixtures::dir_ = nullptr;

// Positions and sizes of the movie box and its USMT child as AtomicParsley
// sees them, and the metadata box size stored 24 bytes into that child.
struct BoxSizes {
  long moovAt = -1, moov = -1, uuidAt = -1, uuid = -1, meta = -1;
};

BoxSizes ReadBoxSizes(const std::string& path) {
  int rc = -1;
  std::string tree = RunCommand("AtomicParsley '" + path + "' -T 1 2>&1", &rc);
  EXPECT_EQ(rc, 0) << tree;
  BoxSizes s;
  std::smatch m;
  std::istringstream in(tree);
  for (std::string line; std::getline(in, line);) {
    if (std::regex_search(line, m, std::regex("^Atom moov @ (\\d+) of size: (\\d+)"))) {
      s.moovAt = std::stol(m[1]);
      s.moov = std::stol(m[2]);
    } else if (std::regex_search(line, m, std::regex("^     Atom uuid=55534d54-\\S* @ (\\d+) of size: (\\d+)"))) {
      s.uuidAt = std::stol(m[1]);
      s.uuid = std::stol(m[2]);
    }
  }
  std::string bytes = ReadFileBytes(path);
  if (s.uuidAt >= 0 && static_cast<size_t>(s.uuidAt) + 28 <= bytes.size()) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + s.uuidAt + 24);
    s.meta = (long(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
  }
  return s;
}

TEST_F(TitleFixtures, ReadsTheTitleFfmpegWroteInBothLayoutsAndNothingElsewhere) {
  EXPECT_EQ(ReadMp4Title(Copy("last.mp4", "a.mp4")), "Hello");
  EXPECT_EQ(ReadMp4Title(Copy("first.mp4", "b.MP4")), "Hello");
  EXPECT_EQ(ReadMp4Title(Copy("last.mp4", "c.m4v")), "");
  EXPECT_EQ(ReadMp4Title(Copy("untitled.mp4", "d.mp4")), "");
  EXPECT_EQ(ReadMp4Title(work_.file("missing.mp4")), "");
  EXPECT_EQ(LogLines().back(), "Fail to open mp4 file " + work_.file("missing.mp4"));
}

TEST_F(TitleFixtures, SameLengthTitleChangesOnlyTheText) {
  std::string path = Copy("last.mp4", "same.mp4");
  std::string before = ReadFileBytes(path);
  EXPECT_EQ(WriteMp4Title(path, u"World"), TitleWriteResult::Written);
  std::string after = ReadFileBytes(path);
  ASSERT_EQ(after.size(), before.size());
  size_t first = 0, last = 0, count = 0;
  for (size_t i = 0; i < before.size(); ++i)
    if (before[i] != after[i]) {
      if (!count++) first = i;
      last = i;
    }
  // "Hello" -> "World": 4 differing characters within the 10 text bytes.
  EXPECT_EQ(count, 4u);
  EXPECT_LT(last - first, 10u);
  EXPECT_EQ(ReadMp4Title(path), "World");
  auto log = LogLines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], path);
  EXPECT_EQ(log[log.size() - 2], "diff=0");
  EXPECT_EQ(log.back().rfind("loc1=", 0), 0u);
}

// Longer and shorter titles in both layouts: the file and the three boxes
// change by diff, every frame still decodes to the same bytes, and
// AtomicParsley still reads the structure.
TEST_F(TitleFixtures, LongerAndShorterTitlesKeepTheFilePlayable) {
  for (const char* fixture : {"last.mp4", "first.mp4"}) {
    SCOPED_TRACE(fixture);
    std::string path = Copy(fixture, std::string("resize-") + fixture);
    const std::string hashes = DecodedHashes(path);
    // One second of video at 29.97 frames per second, and its audio.
    ASSERT_GE(std::count(hashes.begin(), hashes.end(), '\n'), 29 + 40) << hashes;
    const size_t size0 = fs::file_size(path);
    const BoxSizes b0 = ReadBoxSizes(path);
    ASSERT_GT(b0.uuid, 0);

    // "Hello" (12 text bytes) -> 20 characters (42 bytes): diff = 30.
    EXPECT_EQ(WriteMp4Title(path, u"A much longer title!"), TitleWriteResult::Written);
    EXPECT_EQ(fs::file_size(path), size0 + 30);
    BoxSizes b1 = ReadBoxSizes(path);
    EXPECT_EQ(b1.moov, b0.moov + 30);
    EXPECT_EQ(b1.uuid, b0.uuid + 30);
    EXPECT_EQ(b1.meta, b0.meta + 30);
    EXPECT_EQ(ReadMp4Title(path), "A much longer title!");
    EXPECT_EQ(DecodedHashes(path), hashes);
    auto log = LogLines();
    EXPECT_EQ(log[log.size() - 2], "diff=30");
    char loc[64];
    std::snprintf(loc, sizeof(loc), "loc1=%lx  size1+diff=%ld", b0.moovAt, b0.moov + 30);
    EXPECT_EQ(log.back(), loc);

    // -> "Hi": diff = 6 - 42 = -36 against the grown file; truncated.
    EXPECT_EQ(WriteMp4Title(path, u"Hi"), TitleWriteResult::Written);
    EXPECT_EQ(fs::file_size(path), size0 - 6);
    BoxSizes b2 = ReadBoxSizes(path);
    EXPECT_EQ(b2.moov, b0.moov - 6);
    EXPECT_EQ(b2.uuid, b0.uuid - 6);
    EXPECT_EQ(b2.meta, b0.meta - 6);
    EXPECT_EQ(ReadMp4Title(path), "Hi");
    EXPECT_EQ(DecodedHashes(path), hashes);
  }
}

TEST_F(TitleFixtures, EmptyTitleIsStoredAsOneSpace) {
  std::string path = Copy("last.mp4", "empty.mp4");
  size_t size0 = fs::file_size(path);
  EXPECT_EQ(WriteMp4Title(path, u""), TitleWriteResult::Written);
  EXPECT_EQ(ReadMp4Title(path), " ");
  // Entry size 14 instead of 22.
  EXPECT_EQ(fs::file_size(path), size0 - 8);
}

TEST_F(TitleFixtures, OnlyMp4NamesWithATitleBoxAreChanged) {
  std::string upper = Copy("last.mp4", "video.MP4");
  EXPECT_EQ(WriteMp4Title(upper, u"Upper"), TitleWriteResult::Written);
  EXPECT_EQ(ReadMp4Title(upper), "Upper");

  std::string m4v = Copy("last.mp4", "video.m4v");
  std::string m4vBefore = ReadFileBytes(m4v);
  EXPECT_EQ(WriteMp4Title(m4v, u"Nope"), TitleWriteResult::NotMp4Name);
  EXPECT_EQ(ReadFileBytes(m4v), m4vBefore);

  std::string untitled = Copy("untitled.mp4", "untitled.mp4");
  std::string untitledBefore = ReadFileBytes(untitled);
  EXPECT_EQ(WriteMp4Title(untitled, u"Nope"), TitleWriteResult::NotFound);
  EXPECT_EQ(ReadFileBytes(untitled), untitledBefore);
  EXPECT_EQ(LogLines().back(), "Fail to find mp4 title");

  EXPECT_EQ(WriteMp4Title(work_.file("missing.mp4"), u"x"), TitleWriteResult::OpenFailed);
}

TEST_F(TitleFixtures, LongAndNonAsciiTitles) {
  std::string path = Copy("first.mp4", "long.mp4");
  const std::string hashes = DecodedHashes(path);
  const size_t size0 = fs::file_size(path);
  EXPECT_EQ(WriteMp4Title(path, std::u16string(300, u'x')), TitleWriteResult::Written);
  // Cut to 255 characters: entry 10 + 512 bytes instead of 22.
  EXPECT_EQ(fs::file_size(path), size0 + 500);
  EXPECT_EQ(ReadMp4Title(path), std::string(kMaxTitleChars, 'x'));
  EXPECT_EQ(DecodedHashes(path), hashes);

  const std::string text = "Caf\xC3\xA9 \xE2\x98\x95 \xF0\x9D\x84\x9E";  // Café ☕ 𝄞
  EXPECT_EQ(WriteMp4Title(path, Utf8ToUtf16(text)), TitleWriteResult::Written);
  EXPECT_EQ(ReadMp4Title(path), text);
  EXPECT_EQ(DecodedHashes(path), hashes);
}

// 255 characters of any script are stored and read back whole, and a title
// read and written back leaves every byte of the file as it was.
TEST_F(TitleFixtures, FullTitlesOfAnyScriptReadBackWholeAndUnchangedOnesChangeNothing) {
  const std::string latin(255, 'L');
  std::string cjk, emoji;
  for (int i = 0; i < 255; ++i) cjk += "\xE5\xA4\x8F";      // 夏, 3 bytes of UTF-8, one unit
  for (int i = 0; i < 255; ++i) emoji += "\xF0\x9F\x8E\xAC";  // 🎬, 4 bytes, two units
  for (const char* fixture : {"last.mp4", "first.mp4"}) {
    const std::string path = Copy(fixture, std::string("full-") + fixture);
    const std::string hashes = DecodedHashes(path);
    for (const std::string& title : {latin, cjk, emoji}) {
      SCOPED_TRACE(std::string(fixture) + " " + title.substr(0, 8));
      ASSERT_EQ(WriteMp4Title(path, Utf8ToUtf16(title)), TitleWriteResult::Written);
      const std::string read = ReadMp4Title(path);
      EXPECT_EQ(read, title);
      const std::string before = ReadFileBytes(path);
      EXPECT_EQ(WriteMp4Title(path, Utf8ToUtf16(read)), TitleWriteResult::Written);
      EXPECT_EQ(ReadFileBytes(path), before);
      EXPECT_EQ(DecodedHashes(path), hashes);
    }
  }
  // A longer title is cut after its 255th character, never inside one.
  const std::string path = Copy("last.mp4", "cut.mp4");
  ASSERT_EQ(WriteMp4Title(path, Utf8ToUtf16("x" + emoji)), TitleWriteResult::Written);
  EXPECT_EQ(ReadMp4Title(path), "x" + emoji.substr(0, 254 * 4));
}

TEST(Mp4Name, ComparesTheTextAfterTheLastDotWithoutCase) {
  EXPECT_TRUE(IsMp4Name("/x/M4V20001.MP4", "mp4"));
  EXPECT_TRUE(IsMp4Name("a.b.mP4", "mp4"));
  EXPECT_FALSE(IsMp4Name("video.mp4.bak", "mp4"));
  EXPECT_FALSE(IsMp4Name("video.m4v", "mp4"));
  EXPECT_FALSE(IsMp4Name("mp4", "mp4"));
  EXPECT_FALSE(IsMp4Name("video.mp", "mp4"));
}

TEST(Utf16Text, CutsAtCharacterBoundariesAndReplacesBrokenInput) {
  EXPECT_EQ(Utf16CharacterCount(u"a\U0001F3ACb"), 3u);
  EXPECT_EQ(Utf16FirstCharacters(u"a\U0001F3ACb", 2), u"a\U0001F3AC");
  EXPECT_EQ(Utf16FirstCharacters(u"a\U0001F3ACb", 1), u"a");
  EXPECT_EQ(Utf16ToUtf8(u"ab\u00e9", 3), "ab");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"ab\0cd", 5), 10), "ab");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x", 10), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf8ToUtf16("\xC0\x80" "a"), u"\uFFFD\uFFFDa");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9D\x84\x9E"), u"\U0001D11E");
}
}  // namespace

// Hand-made files for layouts the ffmpeg command line does not produce.
namespace crafted {
std::string Be(std::uint64_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}
std::string Box(const std::string& type, const std::string& payload) {
  return Be(8 + payload.size(), 4) + type + payload;
}
std::string Units(const std::u16string& text) {
  std::string s;
  for (char16_t c : text) s += Be(c, 2);
  return s;
}
std::string Entry(std::uint32_t type, const std::string& text) {
  return Be(10 + text.size(), 2) + Be(type, 4) + Be(0x15c70001, 4) + text;
}
std::string Usmt(const std::string& entries) {
  std::string meta = Be(10 + entries.size(), 4) + "MTDT" + Be(2, 2) + entries;
  return Box("uuid", "USMT" + std::string(12, '\x11') + meta);
}
std::string ChunkTable(bool wide, const std::vector<std::uint64_t>& offsets) {
  std::string s = Be(0, 4) + Be(offsets.size(), 4);
  for (auto o : offsets) s += Be(o, wide ? 8 : 4);
  return Box(wide ? "co64" : "stco", s);
}
std::string Track(const std::string& tables) {
  return Box("trak", Box("tkhd", std::string(12, '\0')) +
                         Box("mdia", Box("minf", Box("stbl", Box("stsz", std::string(12, '\0')) + tables))));
}
const std::string kFtyp = Box("ftyp", "MSNV" + Be(0, 4) + "MSNVisom");
const std::string kTitle = Entry(1, Units(u"Old") + Be(0, 2));
const std::string kEntries = Entry(0xb, Be(0x21c, 2)) + kTitle + Entry(3, Units(u"2006") + Be(0, 2));
}  // namespace crafted

TEST_F(TitleFixtures, EntriesWithoutTerminatorOrBeyondTheirBoxesAreReadSafely) {
  using namespace crafted;
  std::string path = work_.file("crafted.mp4");

  // No terminating zero unit: the whole entry is the title.
  WriteFileBytes(path, kFtyp + Box("moov", Usmt(Entry(1, Units(u"ABC")))));
  EXPECT_EQ(ReadMp4Title(path), "ABC");
  EXPECT_EQ(WriteMp4Title(path, u"Abcdef"), TitleWriteResult::Written);
  EXPECT_EQ(ReadMp4Title(path), "Abcdef");

  // More text than a title may hold: only the first 255 characters are shown.
  WriteFileBytes(path, kFtyp + Box("moov", Usmt(Entry(1, Units(std::u16string(600, u'y'))))));
  EXPECT_EQ(ReadMp4Title(path), std::string(kMaxTitleChars, 'y'));

  // Sizes that reach past the enclosing box, or boxes cut by the file end:
  // not found, and the writer leaves every byte as it was.
  const std::string good = kFtyp + Box("moov", Box("mvhd", std::string(20, '\0')) + Usmt(kEntries));
  std::vector<std::string> damaged;
  std::string entryTooBig = good;
  entryTooBig[good.find(kTitle) + 1] = '\x7f';
  damaged.push_back(entryTooBig);
  std::string metaTooBig = good;
  metaTooBig[good.find("MTDT") - 2] = '\x7f';
  damaged.push_back(metaTooBig);
  std::string entryTooSmall = good;
  entryTooSmall[good.find(kTitle) + 1] = '\x08';
  damaged.push_back(entryTooSmall);
  for (size_t cut = 0; cut < good.size(); ++cut) damaged.push_back(good.substr(0, cut));
  for (const std::string& bytes : damaged) {
    WriteFileBytes(path, bytes);
    EXPECT_EQ(ReadMp4Title(path), "") << bytes.size();
    EXPECT_EQ(WriteMp4Title(path, u"New title"), TitleWriteResult::NotFound) << bytes.size();
    EXPECT_EQ(ReadFileBytes(path), bytes);
  }
  WriteFileBytes(path, good);
  EXPECT_EQ(ReadMp4Title(path), "Old");
}

TEST_F(TitleFixtures, ChunkOffsetsPastTheEntryMoveWithTheMediaData) {
  using namespace crafted;
  std::string path = work_.file("first.mp4");
  // Offsets are fixed up after building, once the layout is known.
  auto build = [&](std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    return kFtyp +
           Box("moov", Track(ChunkTable(false, {a, b})) + Track(ChunkTable(true, {c})) + Usmt(kEntries)) +
           Box("mdat", std::string(64, 'm'));
  };
  const std::string probe = build(0, 0, 0);
  const std::uint64_t mdat = probe.find("mdat") + 4;
  const std::string bytes = build(8, mdat, mdat + 32);
  WriteFileBytes(path, bytes);
  const size_t stcoAt = bytes.find("stco") + 12, co64At = bytes.find("co64") + 12;

  ASSERT_EQ(WriteMp4Title(path, u"Much longer"), TitleWriteResult::Written);
  const std::string after = ReadFileBytes(path);
  const long diff = static_cast<long>(after.size()) - static_cast<long>(bytes.size());
  EXPECT_EQ(diff, 16);  // "Old" -> "Much longer": 8 more units
  EXPECT_EQ(after.substr(stcoAt, 8), Be(8, 4) + Be(mdat + diff, 4));
  EXPECT_EQ(after.substr(co64At, 8), Be(mdat + 32 + diff, 8));
  EXPECT_EQ(after.substr(mdat + diff, 64), std::string(64, 'm'));
  EXPECT_EQ(ReadMp4Title(path), "Much longer");
}

TEST_F(TitleFixtures, LayoutsThatCannotBeFixedUpAreLeftAlone) {
  using namespace crafted;
  std::string path = work_.file("refused.mp4");
  const std::string mdat = Box("mdat", std::string(32, 'm'));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {kFtyp + Box("moov", Box("mvex", Box("trex", std::string(24, '\0'))) + Usmt(kEntries)) + mdat,
       "fragmented file"},
      {kFtyp + Box("moov", Track(ChunkTable(false, {0xFFFFFFF0})) + Usmt(kEntries)) + mdat,
       "chunk offset would overflow"},
  };
  for (const auto& [bytes, reason] : cases) {
    WriteFileBytes(path, bytes);
    EXPECT_EQ(WriteMp4Title(path, u"Longer title"), TitleWriteResult::Refused);
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(LogLines().back(), "Fail to patch mp4 title: " + reason);
    // Nothing moves when the size stays: then the title can still change.
    EXPECT_EQ(WriteMp4Title(path, u"New"), TitleWriteResult::Written);
    EXPECT_EQ(ReadMp4Title(path), "New");
  }
  // A chunk said to start inside the title entry.
  auto build = [&](std::uint64_t off) {
    return kFtyp + Box("moov", Track(ChunkTable(false, {off})) + Usmt(kEntries)) + mdat;
  };
  const std::uint64_t inEntry = build(0).find(kTitle) + 4;
  WriteFileBytes(path, build(inEntry));
  EXPECT_EQ(WriteMp4Title(path, u"Longer title"), TitleWriteResult::Refused);
  EXPECT_EQ(ReadFileBytes(path), build(inEntry));
}

// A file from our own MP4 writer: its title is the source's name, and it can
// be retitled both ways and still decodes to the same frames.
TEST_F(TitleFixtures, RetitlesAFileOurWriterMade) {
  EncParams().title = "Source Name";
  SyntheticSource source;
  source.width = 160;
  source.height = 112;
  SyntheticRecording rec;
  rec.outputPath = work_.file("M4V00001.MP4");
  rec.frames = 30;
  rec.queued = false;
  ASSERT_EQ(RunSyntheticRecording(rec, source), 0);
  const std::string path = rec.outputPath;
  EXPECT_EQ(ReadMp4Title(path), "Source Name");
  const std::string hashes = DecodedHashes(path);
  ASSERT_GE(std::count(hashes.begin(), hashes.end(), '\n'), 30) << hashes;
  const size_t size0 = fs::file_size(path);

  EXPECT_EQ(WriteMp4Title(path, u"A new and longer title"), TitleWriteResult::Written);
  EXPECT_EQ(fs::file_size(path), size0 + 22);
  EXPECT_EQ(ReadMp4Title(path), "A new and longer title");
  EXPECT_EQ(DecodedHashes(path), hashes);
  EXPECT_EQ(WriteMp4Title(path, u"Short"), TitleWriteResult::Written);
  EXPECT_EQ(fs::file_size(path), size0 - 12);
  EXPECT_EQ(ReadMp4Title(path), "Short");
  EXPECT_EQ(DecodedHashes(path), hashes);
  int rc = -1;
  RunCommand("AtomicParsley '" + path + "' -T 1 2>&1", &rc);
  EXPECT_EQ(rc, 0);
}

namespace {
ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Names in folder other than keep: what a title change left behind.
std::vector<std::string> OtherFiles(const std::string& folder, const std::string& keep) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename() != keep && e.path().extension() != ".elog") names.push_back(e.path().filename());
  return names;
}
}  // namespace

// A file whose movie box comes first is written anew beside itself and
// renamed over the old one, with progress up to its new size; a file whose
// movie box is last keeps its place on the disk. Both keep every packet.
TEST_F(TitleFixtures, MovieBoxFirstFilesAreWrittenAnewAndMovieBoxLastOnesInPlace) {
  const std::string first = Copy("big-first.mp4", "M4V00001.MP4");
  const std::string packets = PacketChecksums(first);
  ASSERT_GE(std::count(packets.begin(), packets.end(), '\n'), 100) << packets;
  const ino_t inode = InodeOf(first);
  const size_t size0 = fs::file_size(first);
  std::uint64_t lastDone = 0, total = 0;
  int calls = 0;
  EXPECT_EQ(WriteMp4Title(first, u"A title for the big file",
                          [&](const FileOpProgress& p) {
                            EXPECT_GE(p.bytesDone, lastDone);
                            lastDone = p.bytesDone;
                            total = p.bytesTotal;
                            ++calls;
                            return true;
                          }),
            TitleWriteResult::Written);
  EXPECT_EQ(fs::file_size(first), size0 + 38);
  EXPECT_EQ(total, size0 + 38);
  EXPECT_EQ(lastDone, total);
  EXPECT_GE(calls, 3) << "a report for each block";
  EXPECT_NE(InodeOf(first), inode) << "a new file took the old one's name";
  EXPECT_EQ(OtherFiles(work_.path(), "M4V00001.MP4"), std::vector<std::string>{});
  EXPECT_EQ(ReadMp4Title(first), "A title for the big file");
  EXPECT_EQ(PacketChecksums(first), packets);

  const std::string last = Copy("last.mp4", "M4V00002.MP4");
  const ino_t lastInode = InodeOf(last);
  calls = 0;
  EXPECT_EQ(WriteMp4Title(last, u"A longer title", [&](const FileOpProgress&) { return ++calls > 0; }),
            TitleWriteResult::Written);
  EXPECT_EQ(InodeOf(last), lastInode);
  EXPECT_EQ(calls, 0) << "nothing long to report";
  EXPECT_EQ(ReadMp4Title(last), "A longer title");
}

// Cancelled half-way, the change leaves the file and its folder as they were.
TEST_F(TitleFixtures, ACancelledRewriteLeavesTheFileAsItWas) {
  const std::string path = Copy("big-first.mp4", "M4V00001.MP4");
  const std::string before = ReadFileBytes(path);
  EXPECT_EQ(WriteMp4Title(path, u"A title never written", [](const FileOpProgress& p) { return p.bytesDone < p.bytesTotal / 2; }),
            TitleWriteResult::Cancelled);
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_EQ(OtherFiles(work_.path(), "M4V00001.MP4"), std::vector<std::string>{});
}

// The process killed half-way through a movie-box-first change (a crash, the
// power gone): the file is the old one, byte for byte, and plays; the change
// made again afterwards gives the new one with the same packets.
TEST_F(TitleFixtures, AMovieBoxFirstChangeKilledHalfWayLeavesTheOldFile) {
  const std::string path = Copy("big-first.mp4", "M4V00001.MP4");
  const std::string before = ReadFileBytes(path);
  const std::string packets = PacketChecksums(path);
  const auto killHalfWay = [](const FileOpProgress& p) {
    if (p.bytesDone >= p.bytesTotal / 2) std::raise(SIGKILL);
    return true;
  };
  EXPECT_EXIT(WriteMp4Title(path, u"A title that never lands", killHalfWay), ::testing::KilledBySignal(SIGKILL), "");
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_EQ(ReadMp4Title(path), "Hello");
  EXPECT_EQ(PacketChecksums(path), packets);

  EXPECT_EQ(WriteMp4Title(path, u"A title that lands"), TitleWriteResult::Written);
  EXPECT_EQ(ReadMp4Title(path), "A title that lands");
  EXPECT_EQ(PacketChecksums(path), packets);
}
