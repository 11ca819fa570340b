// The filter graph as the engine drives it: grabbers added before
// RenderFile, the engine's clock as sync source, run / pause / seek, events.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if __has_include(<SDL2/SDL.h>)
#include <SDL2/SDL.h>
#define TEST_HAS_SDL2 1
#endif

#include "engine/my_clock.h"
#include "platform/core/messages.h"
#include "platform/dshow/media_filters.h"
#include "platform/dshow/system_objects.h"
#include "platform/grabbers/vx_grabber.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/test_support.h"

// FFmpeg's frame-threaded decoders hand frames between their own threads
// with synchronisation ThreadSanitizer cannot see in the uninstrumented
// libraries; reports from inside them are not ours to fix.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libavcodec.so*\nrace:libavutil.so*\nrace:libswresample.so*\nrace:libavfilter.so*\nrace:libSDL2*\n";
}

// SDL keeps a little bookkeeping from its audio start-up for the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2\n"; }

namespace {

struct Capture {
  std::mutex m;  // guards everything below
  std::vector<REFERENCE_TIME> videoStarts;
  std::vector<REFERENCE_TIME> audioStarts;
  long long audioBytes = 0;
  int videoTypeChanges = 0;
  bool badVideoSize = false;
  bool backwards = false;
  std::thread::id videoThread, audioThread;
  CMyClock* pace = nullptr;  // paces like the engine's conversion when set
  int sleepMs = 0;
  LONG expectedVideoBytes = 0;
  bool keepLuma = false;
  std::vector<std::uint64_t> luma;  // a hash of each picture's luma, when kept
};

// FNV-1a over the rows of a luma plane.
std::uint64_t LumaHash(const std::uint8_t* y, int stride, int width, int height) {
  std::uint64_t h = 1469598103934665603ull;
  for (int r = 0; r < height; ++r)
    for (int x = 0; x < width; ++x) h = (h ^ y[static_cast<std::ptrdiff_t>(r) * stride + x]) * 1099511628211ull;
  return h;
}
Capture* g_cap = nullptr;

int OnVideo(IMediaSample* s, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL, BOOL typeChanged) {
  std::lock_guard<std::mutex> lock(g_cap->m);
  if (g_cap->pace) g_cap->pace->Rate = 0.01f;
  if (!g_cap->videoStarts.empty() && *start <= g_cap->videoStarts.back()) g_cap->backwards = true;
  g_cap->videoStarts.push_back(*start);
  if (*stop <= *start) g_cap->backwards = true;
  if (typeChanged) ++g_cap->videoTypeChanges;
  if (g_cap->expectedVideoBytes && s->GetActualDataLength() != g_cap->expectedVideoBytes) g_cap->badVideoSize = true;
  g_cap->videoThread = std::this_thread::get_id();
  if (const LumPlanarPicture* p = g_cap->keepLuma ? PlanarPictureOf(s) : nullptr)
    g_cap->luma.push_back(LumaHash(p->planes[0], p->strides[0], p->width, p->height));
  if (g_cap->sleepMs) std::this_thread::sleep_for(std::chrono::milliseconds(g_cap->sleepMs));
  if (g_cap->pace) {
    g_cap->pace->Resync();
    g_cap->pace->Advance(0.04);
    g_cap->pace->Rate = 0.01f;
  }
  return 0;
}

int OnAudio(IMediaSample* s, REFERENCE_TIME* start, REFERENCE_TIME*, BOOL, BOOL) {
  std::lock_guard<std::mutex> lock(g_cap->m);
  g_cap->audioStarts.push_back(*start);
  g_cap->audioBytes += s->GetActualDataLength();
  g_cap->audioThread = std::this_thread::get_id();
  return 0;
}

// A graph built the way the engine builds it.
struct EngineGraph {
  ComPtr<IGraphBuilder> gb;
  ComPtr<IBaseFilter> vgFilter, agFilter;
  ComPtr<IVxVideoGrabber> vg;
  ComPtr<IVxGrabber> ag;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  ComPtr<IMediaPosition> position;
  ComPtr<IMediaFilter> mediaFilter;
  Capture cap;

  EngineGraph() {
    g_cap = &cap;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&gb)), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_VxVideoGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&vgFilter)), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_VxGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&agFilter)), S_OK);
    EXPECT_EQ(gb->AddFilter(vgFilter.get(), L"Video Grabber"), S_OK);
    EXPECT_EQ(gb->AddFilter(agFilter.get(), L"Audio Grabber"), S_OK);
    EXPECT_EQ(vgFilter->QueryInterface(IID_IVxVideoGrabber, reinterpret_cast<void**>(&vg)), S_OK);
    EXPECT_EQ(agFilter->QueryInterface(IID_IVxGrabber, reinterpret_cast<void**>(&ag)), S_OK);
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(ag->SetAcceptedMediaType(&mt), S_OK);
    vg->SetCallback(OnVideo);
    ag->SetCallback(OnAudio);
    gb->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
    gb->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    gb->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&position));
    gb->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter));
  }
  ~EngineGraph() {
    if (control) control->Stop();
    if (mediaFilter) mediaFilter->SetSyncSource(nullptr);
    g_cap = nullptr;
  }
  HRESULT Render(const std::string& path) { return gb->RenderFile(Utf8ToWide(path).c_str(), nullptr); }
  bool Connected(IBaseFilter* f) {
    ComPtr<IPin> in, peer;
    f->FindPin(L"In", &in);
    return in && SUCCEEDED(in->ConnectedTo(&peer));
  }
  // Waits for EC_COMPLETE; false on time-out.
  bool WaitComplete(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      LONG code;
      LONG_PTR a, b;
      if (events->GetEvent(&code, &a, &b, 50) == S_OK) {
        events->FreeEventParams(code, a, b);
        if (code == EC_COMPLETE) return true;
      }
    }
    return false;
  }
  size_t VideoCount() {
    std::lock_guard<std::mutex> lock(cap.m);
    return cap.videoStarts.size();
  }
};

std::string Fixture(const TempDir& dir, FixtureKind kind, double seconds, const char* name = "clip") {
  std::string path = dir.file(std::string(name) + FixtureExtension(kind));
  std::string err = MakeFixture(kind, path, seconds);
  EXPECT_EQ(err, "") << path;
  return path;
}

TEST(FilterGraph, H264AacReachesBothGrabbersAndCompletes) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 2.0);
  EngineGraph g;
  ASSERT_EQ(g.Render(path), S_OK);
  ASSERT_TRUE(g.Connected(g.vgFilter.get()));
  ASSERT_TRUE(g.Connected(g.agFilter.get()));
  ComPtr<IBaseFilter> vr;
  EXPECT_EQ(g.gb->FindFilterByName(L"Video Renderer", &vr), S_OK);

  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(g.vg->GetConnectedMediaType(&mt), S_OK);
  EXPECT_TRUE(mt.subtype == MEDIASUBTYPE_YUY2);
  ASSERT_TRUE(mt.formattype == FORMAT_VideoInfo);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat);
  EXPECT_EQ(vih->bmiHeader.biWidth, 320);
  EXPECT_EQ(vih->bmiHeader.biHeight, 240);
  EXPECT_EQ(vih->AvgTimePerFrame, 400000);
  FreeMediaType(mt);
  ASSERT_EQ(g.ag->GetConnectedMediaType(&mt), S_OK);
  auto* wfx = reinterpret_cast<WAVEFORMATEX*>(mt.pbFormat);
  EXPECT_EQ(wfx->nSamplesPerSec, 48000u);
  EXPECT_EQ(wfx->nChannels, 2);
  EXPECT_EQ(wfx->wBitsPerSample, 16);
  FreeMediaType(mt);

  double duration = 0;
  g.position->get_Duration(&duration);
  EXPECT_NEAR(duration, 2.0, 0.1);
  g.cap.expectedVideoBytes = 320 * 240 * 2;
  ASSERT_EQ(g.control->Run(), S_OK);
  ASSERT_TRUE(g.WaitComplete(20000));
  std::lock_guard<std::mutex> lock(g.cap.m);
  EXPECT_EQ(g.cap.videoStarts.size(), 50u);
  EXPECT_EQ(g.cap.videoStarts.front(), 0);
  EXPECT_FALSE(g.cap.backwards);
  EXPECT_FALSE(g.cap.badVideoSize);
  EXPECT_NEAR(g.cap.audioBytes / (48000.0 * 4), 2.0, 0.06);
  EXPECT_NE(g.cap.videoThread, std::this_thread::get_id());
  EXPECT_NE(g.cap.audioThread, g.cap.videoThread);
  double pos = 0;
  g.position->get_CurrentPosition(&pos);
  EXPECT_NEAR(pos, duration, 0.01);
}

struct KindCase {
  FixtureKind kind;
  bool video, audio;
  int width, height, rate, channels, bits;
  bool info2;
};

class EveryFormat : public ::testing::TestWithParam<KindCase> {};

TEST_P(EveryFormat, RendersDeliversAndCompletes) {
  const KindCase c = GetParam();
  TempDir dir;
  std::string path = Fixture(dir, c.kind, 1.0);
  EngineGraph g;
  ASSERT_TRUE(SUCCEEDED(g.Render(path)));
  EXPECT_EQ(g.Connected(g.vgFilter.get()), c.video);
  EXPECT_EQ(g.Connected(g.agFilter.get()), c.audio);
  AM_MEDIA_TYPE mt{};
  if (c.video) {
    ASSERT_EQ(g.vg->GetConnectedMediaType(&mt), S_OK);
    ASSERT_EQ(mt.formattype == FORMAT_VideoInfo2, c.info2);
    const BITMAPINFOHEADER& bmi = c.info2 ? reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat)->bmiHeader
                                          : reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
    EXPECT_EQ(bmi.biWidth, c.width);
    EXPECT_EQ(bmi.biHeight, c.height);
    if (c.info2) {
      auto* v2 = reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat);
      EXPECT_EQ(v2->dwPictAspectRatioX, 16u);
      EXPECT_EQ(v2->dwPictAspectRatioY, 9u);
      EXPECT_EQ(v2->dwInterlaceFlags & AMINTERLACE_IsInterlaced, 0u);
    }
    FreeMediaType(mt);
    g.cap.expectedVideoBytes = c.width * c.height * 2;
  } else {
    EXPECT_EQ(g.vg->GetConnectedMediaType(&mt), VFW_E_NOT_CONNECTED);
  }
  if (c.audio) {
    ASSERT_EQ(g.ag->GetConnectedMediaType(&mt), S_OK);
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(mt.pbFormat);
    EXPECT_EQ(static_cast<int>(wfx->nSamplesPerSec), c.rate);
    EXPECT_EQ(wfx->nChannels, c.channels);
    EXPECT_EQ(wfx->wBitsPerSample, c.bits);
    FreeMediaType(mt);
  }
  ASSERT_EQ(g.control->Run(), S_OK);
  ASSERT_TRUE(g.WaitComplete(30000));
  std::lock_guard<std::mutex> lock(g.cap.m);
  if (c.video) {
    EXPECT_NEAR(static_cast<double>(g.cap.videoStarts.size()), 25.0, 1.0);
    EXPECT_FALSE(g.cap.backwards);
    EXPECT_FALSE(g.cap.badVideoSize);
    EXPECT_LT(g.cap.videoStarts.front(), 1000000);  // ASF starts its video at 46 ms
  }
  if (c.audio) EXPECT_NEAR(g.cap.audioBytes / (c.rate * c.channels * c.bits / 8.0), 1.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, EveryFormat,
    ::testing::Values(KindCase{FixtureKind::kMpeg2Mp2Ps, true, true, 320, 240, 48000, 2, 16, false},
                      KindCase{FixtureKind::kMpeg4Mp3Avi, true, true, 320, 240, 44100, 2, 16, false},
                      KindCase{FixtureKind::kWmv2Wma2Asf, true, true, 320, 240, 44100, 2, 16, false},
                      KindCase{FixtureKind::kMjpegPcm8Avi, true, true, 320, 240, 22050, 1, 8, false},
                      KindCase{FixtureKind::kVp8VorbisWebm, true, true, 320, 240, 48000, 2, 16, false},
                      KindCase{FixtureKind::kAnamorphic576, true, true, 720, 576, 48000, 2, 16, true},
                      KindCase{FixtureKind::kHd720, true, true, 1280, 720, 48000, 2, 16, false},
                      KindCase{FixtureKind::kAc3Surround, true, true, 320, 240, 48000, 6, 16, false},
                      KindCase{FixtureKind::kMonoAudio, true, true, 320, 240, 44100, 1, 16, false},
                      KindCase{FixtureKind::kNoAudio, true, false, 320, 240, 0, 0, 0, false},
                      KindCase{FixtureKind::kNoVideo, false, true, 0, 0, 48000, 2, 16, false}));

TEST(FilterGraph, DecoderTurnsRotatedVideoUpright) {
  TempDir dir;
  std::string path = dir.file("phone.mp4");
  FixtureOptions opt;
  opt.rotation = 90;
  ASSERT_EQ(MakeFixture(FixtureKind::kH264AacMp4, path, 1.0, opt), "");
  EngineGraph g;
  ASSERT_EQ(g.Render(path), S_OK);
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(g.vg->GetConnectedMediaType(&mt), S_OK);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat);
  EXPECT_EQ(vih->bmiHeader.biWidth, 240);
  EXPECT_EQ(vih->bmiHeader.biHeight, 320);
  FreeMediaType(mt);
  g.cap.expectedVideoBytes = 240 * 320 * 2;
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  std::lock_guard<std::mutex> lock(g.cap.m);
  EXPECT_EQ(g.cap.videoStarts.size(), 25u);
  EXPECT_FALSE(g.cap.badVideoSize);
  EXPECT_EQ(g.cap.videoTypeChanges, 0);
}

TEST(FilterGraph, InterlacedSourceComesOutDeinterlacedFrameForFrame) {
  TempDir dir;
  std::string path = dir.file("tv.mpg");
  FixtureOptions opt;
  opt.interlaced = true;
  ASSERT_EQ(MakeFixture(FixtureKind::kAnamorphic576, path, 1.0, opt), "");
  EngineGraph g;
  ASSERT_EQ(g.Render(path), S_OK);
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(g.vg->GetConnectedMediaType(&mt), S_OK);
  ASSERT_TRUE(mt.formattype == FORMAT_VideoInfo2);
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat)->dwInterlaceFlags, 0u);
  FreeMediaType(mt);
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  std::lock_guard<std::mutex> lock(g.cap.m);
  EXPECT_NEAR(static_cast<double>(g.cap.videoStarts.size()), 25.0, 1.0);
  EXPECT_FALSE(g.cap.backwards);
}

TEST(FilterGraph, PacedClockRunsAsFastAsTheCallback) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 10.0);
  EngineGraph g;
  HRESULT hr = S_OK;
  auto* clock = new CMyClock("vxclk", nullptr, &hr);
  ComPtr<IReferenceClock> keep(clock);
  ASSERT_EQ(g.Render(path), S_OK);
  ASSERT_EQ(g.mediaFilter->SetSyncSource(clock), S_OK);
  g.cap.pace = clock;
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(g.control->Run(), S_OK);
  ASSERT_TRUE(g.WaitComplete(20000));
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("10 s clip passed in %.2f s\n", secs);
  EXPECT_LT(secs, 5.0);
  std::lock_guard<std::mutex> lock(g.cap.m);
  EXPECT_EQ(g.cap.videoStarts.size(), 250u);
  EXPECT_FALSE(g.cap.backwards);
  EXPECT_NEAR(g.cap.audioBytes / (48000.0 * 4), 10.0, 0.1);
  g.cap.pace = nullptr;
}

TEST(FilterGraph, SlowCallbackHoldsTheGraphBackAndLosesNoFrame) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 2.0);
  EngineGraph g;
  HRESULT hr = S_OK;
  auto* clock = new CMyClock("vxclk", nullptr, &hr);
  ComPtr<IReferenceClock> keep(clock);
  ASSERT_EQ(g.Render(path), S_OK);
  g.mediaFilter->SetSyncSource(clock);
  g.cap.pace = clock;
  g.cap.sleepMs = 60;  // slower than real time (40 ms per frame)
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(g.control->Run(), S_OK);
  ASSERT_TRUE(g.WaitComplete(20000));
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(secs, 50 * 0.060);
  std::lock_guard<std::mutex> lock(g.cap.m);
  EXPECT_EQ(g.cap.videoStarts.size(), 50u);
  g.cap.pace = nullptr;
}

TEST(FilterGraph, RealTimeWithoutPacing) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 1.0);
  EngineGraph g;
  HRESULT hr = S_OK;
  auto* clock = new CMyClock("vxclk", nullptr, &hr);
  ComPtr<IReferenceClock> keep(clock);
  ASSERT_EQ(g.Render(path), S_OK);
  g.mediaFilter->SetSyncSource(clock);
  const auto t0 = std::chrono::steady_clock::now();
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  // The last frame starts at 0.96 s of clock time: the graph waits for the
  // clock (how much longer a loaded machine takes says nothing).
  EXPECT_GT(secs, 0.9);
}

namespace {
// The luma of every picture ffmpeg decodes from path, in order, hashed.
std::vector<std::uint64_t> ReferenceLuma(const TempDir& dir, const std::string& path, int w, int h,
                                         const char* decoderOptions) {
  const std::string raw = dir.file("reference.yuv");
  int code = -1;
  RunCommand(std::string("ffmpeg -v error -y ") + decoderOptions + " -i '" + path +
                 "' -fps_mode passthrough -f rawvideo -pix_fmt yuv420p '" + raw + "'",
             &code);
  EXPECT_EQ(code, 0);
  std::ifstream in(raw, std::ios::binary);
  std::vector<std::uint8_t> frame(static_cast<size_t>(w) * h * 3 / 2);
  std::vector<std::uint64_t> hashes;
  while (in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frame.size())))
    hashes.push_back(LumaHash(frame.data(), w, w, h));
  return hashes;
}

std::vector<std::uint64_t> GraphLuma(const std::string& path, bool shrinking) {
  EngineGraph g;
  EXPECT_EQ(g.Render(path), S_OK);
  SetDecodersShrinking(g.gb.get(), shrinking);
  g.cap.keepLuma = true;
  EXPECT_EQ(g.control->Run(), S_OK);
  EXPECT_TRUE(g.WaitComplete(20000));
  g.control->Stop();
  std::lock_guard<std::mutex> lock(g.cap.m);
  return g.cap.luma;
}
}  // namespace

// While a conversion shrinks the pictures, pictures no other refers to are
// decoded without deblocking; the preview gets every picture as it is.
TEST(FilterGraph, ShrinkingLeavesOutOnlyTheDeblockingOfUnreferencedPictures) {
  TempDir dir;
  const std::string path = dir.file("bframes.mp4");
  int code = -1;
  RunCommand("ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 1.2 -c:v libx264 -bf 3 -b:v 60k "
             "-pix_fmt yuv420p '" + path + "'",
             &code);
  ASSERT_EQ(code, 0);
  const auto whole = ReferenceLuma(dir, path, 320, 240, "");
  const auto unreferencedUnfiltered = ReferenceLuma(dir, path, 320, 240, "-skip_loop_filter noref");
  ASSERT_EQ(whole.size(), 30u);
  ASSERT_NE(whole, unreferencedUnfiltered) << "the clip shows no deblocking of unreferenced pictures";
  EXPECT_EQ(GraphLuma(path, false), whole);
  EXPECT_EQ(GraphLuma(path, true), unreferencedUnfiltered);
}

#ifdef TEST_HAS_SDL2
namespace {
// In a child process, since SDL's state is the process's: plays a clip's
// sound through the graph's audio renderer with SDL's dummy driver chosen,
// and exits with 0 when SDL's sound system was never started.
[[noreturn]] void PlaySoundWithTheDummyDriver(const std::string& path) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  {
    EngineGraph g;
    if (g.Render(path) != S_OK || g.control->Run() != S_OK || !g.WaitComplete(20000)) std::_Exit(2);
  }
  std::_Exit(SDL_WasInit(SDL_INIT_AUDIO) ? 1 : 0);
}
}  // namespace

// The batch programs choose the dummy driver: they play nothing, and
// starting the sound system would only take time and memory.
TEST(FilterGraph, TheDummySoundDriverNeverStartsTheSoundSystem) {
  TempDir dir;
  const std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 0.5);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(PlaySoundWithTheDummyDriver(path), testing::ExitedWithCode(0), "");
}
#endif

TEST(FilterGraph, PauseHoldsAndRunContinuesWhereItStood) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 2.0);
  EngineGraph g;
  ASSERT_EQ(g.Render(path), S_OK);
  g.control->Run();
  Sleep(600);
  g.control->Pause();
  OAFilterState fs;
  EXPECT_EQ(g.control->GetState(2000, &fs), S_OK);
  EXPECT_EQ(fs, State_Paused);
  double p1 = 0, p2 = 0;
  g.position->get_CurrentPosition(&p1);
  size_t n1 = g.VideoCount();
  Sleep(400);
  g.position->get_CurrentPosition(&p2);
  size_t n2 = g.VideoCount();
  EXPECT_DOUBLE_EQ(p1, p2);
  EXPECT_LE(n2, n1 + 1);  // at most the one frame the renderer holds
  EXPECT_GT(p1, 0.4);
  EXPECT_LT(p1, 1.0);
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  std::lock_guard<std::mutex> lock(g.cap.m);
  EXPECT_EQ(g.cap.videoStarts.size(), 50u);
  EXPECT_FALSE(g.cap.backwards);
}

TEST(FilterGraph, SeekRestartsStreamTimesAndReportsPosition) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kMpeg2Mp2Ps, 4.0);
  EngineGraph g;
  ASSERT_EQ(g.Render(path), S_OK);
  g.control->Run();
  Sleep(300);
  ASSERT_EQ(g.position->put_CurrentPosition(2.0), S_OK);
  {
    std::lock_guard<std::mutex> lock(g.cap.m);
    g.cap.videoStarts.clear();
    g.cap.backwards = false;
  }
  Sleep(200);
  double pos = 0;
  g.position->get_CurrentPosition(&pos);
  EXPECT_GE(pos, 2.0);
  EXPECT_LT(pos, 2.6);
  ASSERT_TRUE(g.WaitComplete(20000));
  std::lock_guard<std::mutex> lock(g.cap.m);
  ASSERT_FALSE(g.cap.videoStarts.empty());
  // Restarts near 0: the frame that holds the new position comes first.
  EXPECT_LT(g.cap.videoStarts.front(), 400000);
  EXPECT_GT(g.cap.videoStarts.front(), -400000);
  EXPECT_NEAR(static_cast<double>(g.cap.videoStarts.size()), 50.0, 2.0);
  EXPECT_FALSE(g.cap.backwards);
}

TEST(FilterGraph, StoppedSeekThenRunPlaysFromThere) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 2.0);
  EngineGraph g;
  ASSERT_EQ(g.Render(path), S_OK);
  g.position->put_CurrentPosition(1.0);
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  EXPECT_NEAR(static_cast<double>(g.VideoCount()), 25.0, 1.0);
  // Finished: position equals duration; seek to 0 and play again.
  double pos = 0, dur = 0;
  g.position->get_CurrentPosition(&pos);
  g.position->get_Duration(&dur);
  EXPECT_LT(std::abs(pos - dur), 0.01);
  g.control->Stop();
  g.position->put_CurrentPosition(0);
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  EXPECT_NEAR(static_cast<double>(g.VideoCount()), 75.0, 1.0);
}

class NotifySink : public MessageWindow, public IVideoFrameSink {
 public:
  void Post(UINT msg, WPARAM, LPARAM l) override {
    std::lock_guard<std::mutex> lock(m);
    posted.push_back({msg, l});
  }
  void PresentFrame(const BYTE* p, int w, int h, REFERENCE_TIME) override {
    std::lock_guard<std::mutex> lock(m);
    ++frames;
    lastW = w;
    lastH = h;
    firstByte = p[0];
  }
  std::mutex m;  // guards everything below
  std::vector<std::pair<UINT, LPARAM>> posted;
  int frames = 0, lastW = 0, lastH = 0;
  BYTE firstByte = 0;
};

TEST(FilterGraph, NotifiesWindowAndHandsFramesToItsSink) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 1.0);
  EngineGraph g;
  NotifySink win;
  ASSERT_EQ(g.events->SetNotifyWindow(reinterpret_cast<OAHWND>(static_cast<MessageWindow*>(&win)), WM_GRAPHNOTIFY, 7), S_OK);
  ASSERT_EQ(g.Render(path), S_OK);
  ComPtr<IVideoWindow> vw;
  ASSERT_EQ(g.gb->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&vw)), S_OK);
  EXPECT_EQ(vw->put_Owner(reinterpret_cast<OAHWND>(static_cast<MessageWindow*>(&win))), S_OK);
  EXPECT_EQ(vw->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN), S_OK);
  EXPECT_EQ(vw->SetWindowPosition(0, 0, 320, 240), S_OK);
  EXPECT_EQ(vw->put_Visible(OATRUE), S_OK);
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  g.events->SetNotifyWindow(0, 0, 0);
  std::lock_guard<std::mutex> lock(win.m);
  ASSERT_FALSE(win.posted.empty());
  EXPECT_EQ(win.posted[0].first, WM_GRAPHNOTIFY);
  EXPECT_EQ(win.posted[0].second, 7);
  EXPECT_EQ(win.frames, 25);
  EXPECT_EQ(win.lastW, 320);
  EXPECT_EQ(win.lastH, 240);
}

bool WaitEvent(IMediaEventEx* ev, LONG wanted, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    LONG code;
    LONG_PTR a, b;
    if (ev->GetEvent(&code, &a, &b, 50) == S_OK && code == wanted) return true;
  }
  return false;
}

TEST(FilterGraph, PausedPictureIsShownAndRepaintedAfterSeek) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 2.0);
  EngineGraph g;
  NotifySink win;
  ASSERT_EQ(g.Render(path), S_OK);
  ComPtr<IVideoWindow> vw;
  g.gb->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&vw));
  vw->put_Owner(reinterpret_cast<OAHWND>(static_cast<MessageWindow*>(&win)));
  EXPECT_TRUE(SUCCEEDED(g.control->Pause()));
  OAFilterState fs;
  EXPECT_EQ(g.control->GetState(20000, &fs), S_OK);
  EXPECT_EQ(fs, State_Paused);
  ASSERT_TRUE(WaitEvent(g.events.get(), EC_REPAINT, 20000));
  {
    std::lock_guard<std::mutex> lock(win.m);
    EXPECT_EQ(win.frames, 1);
  }
  ASSERT_EQ(g.position->put_CurrentPosition(1.0), S_OK);
  ASSERT_TRUE(WaitEvent(g.events.get(), EC_REPAINT, 20000));
  double pos = 0;
  g.position->get_CurrentPosition(&pos);
  EXPECT_DOUBLE_EQ(pos, 1.0);
  {
    std::lock_guard<std::mutex> lock(win.m);
    EXPECT_EQ(win.frames, 2);
  }
  // Running on shows the held picture once more only if it was not shown.
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  std::lock_guard<std::mutex> lock(win.m);
  EXPECT_EQ(win.frames, 2 + 24);
}

// What the engine's check and repair of the video grabber do.
TEST(FilterGraph, EnumeratesConnectionsAndReconnectsGrabberByHand) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 1.0);
  EngineGraph g;
  g.gb->RemoveFilter(g.vgFilter.get());
  ASSERT_EQ(g.Render(path), S_OK);
  ASSERT_FALSE(g.Connected(g.vgFilter.get()));
  // Walk the graph as the check does: every filter, pin, peer and name.
  ComPtr<IEnumFilters> ef;
  ASSERT_EQ(g.gb->EnumFilters(&ef), S_OK);
  IBaseFilter* f = nullptr;
  int filters = 0, connectedOut = 0;
  bool sawRenderer = false;
  while (ef->Next(1, &f, nullptr) == S_OK) {
    ComPtr<IBaseFilter> fk;
    fk.Attach(f);
    ++filters;
    ComPtr<IEnumPins> ep;
    f->EnumPins(&ep);
    IPin* p = nullptr;
    while (ep->Next(1, &p, nullptr) == S_OK) {
      ComPtr<IPin> pk;
      pk.Attach(p);
      PIN_DIRECTION d;
      p->QueryDirection(&d);
      ComPtr<IPin> peer;
      if (d == PINDIR_OUTPUT && SUCCEEDED(p->ConnectedTo(&peer))) {
        PIN_INFO pi;
        peer->QueryPinInfo(&pi);
        FILTER_INFO fi;
        pi.pFilter->QueryFilterInfo(&fi);
        if (std::wstring(fi.achName) == L"Video Renderer") sawRenderer = true;
        if (fi.pGraph) fi.pGraph->Release();
        pi.pFilter->Release();
        ++connectedOut;
      }
    }
  }
  EXPECT_EQ(filters, 6);  // source, 2 decoders, audio grabber, 2 renderers
  EXPECT_EQ(connectedOut, 5);
  EXPECT_TRUE(sawRenderer);
  // Put the grabber between decoder and renderer.
  ASSERT_EQ(g.gb->AddFilter(g.vgFilter.get(), L"Video Grabber"), S_OK);
  ComPtr<IBaseFilter> vr;
  ASSERT_EQ(g.gb->FindFilterByName(L"Video Renderer", &vr), S_OK);
  ComPtr<IPin> vrIn, decoderOut, vgIn, vgOut;
  vr->FindPin(L"In", &vrIn);
  ASSERT_EQ(vrIn->ConnectedTo(&decoderOut), S_OK);
  ASSERT_EQ(g.gb->Disconnect(vrIn.get()), S_OK);
  ASSERT_EQ(g.gb->Disconnect(decoderOut.get()), S_OK);
  ASSERT_EQ(g.vgFilter->FindPin(L"In", &vgIn), S_OK);
  ASSERT_EQ(g.vgFilter->FindPin(L"Out", &vgOut), S_OK);
  ASSERT_EQ(decoderOut->Connect(vgIn.get(), nullptr), S_OK);
  ASSERT_EQ(g.gb->Render(vgOut.get()), S_OK);
  ComPtr<IPin> after;
  ASSERT_EQ(vrIn->ConnectedTo(&after), S_OK);
  EXPECT_EQ(after.get(), vgOut.get());
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  EXPECT_EQ(g.VideoCount(), 25u);
}

TEST(FilterGraph, DuplicateNamesGetASuffix) {
  ComPtr<IGraphBuilder> gb;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(&gb)), S_OK);
  ComPtr<IBaseFilter> a, b;
  CoCreateInstance(CLSID_VxVideoGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(&a));
  CoCreateInstance(CLSID_VxVideoGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(&b));
  EXPECT_EQ(gb->AddFilter(a.get(), L"Video Renderer"), S_OK);
  EXPECT_EQ(gb->AddFilter(b.get(), L"Video Renderer"), VFW_S_DUPLICATE_NAME);
  FILTER_INFO fi;
  b->QueryFilterInfo(&fi);
  EXPECT_EQ(std::wstring(fi.achName), L"Video Renderer 0001");
  fi.pGraph->Release();
  ComPtr<IBaseFilter> found;
  EXPECT_EQ(gb->FindFilterByName(L"Nothing", &found), VFW_E_NOT_FOUND);
  ComPtr<IVxGrabber> wrong;
  EXPECT_EQ(a->QueryInterface(IID_IVxGrabber, reinterpret_cast<void**>(&wrong)), E_NOINTERFACE);
}

TEST(FilterGraph, AudioGrabberTakesOnlyTheAcceptedType) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 1.0);
  EngineGraph g;
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Video;  // refuses audio now
  g.ag->SetAcceptedMediaType(&mt);
  ASSERT_EQ(g.Render(path), S_OK);
  EXPECT_TRUE(g.Connected(g.vgFilter.get()));
  // It may sit behind the video grabber now, but never on the audio.
  AM_MEDIA_TYPE got{};
  if (SUCCEEDED(g.ag->GetConnectedMediaType(&got))) {
    EXPECT_TRUE(got.majortype == MEDIATYPE_Video);
    FreeMediaType(got);
  }
  ComPtr<IBaseFilter> ar;
  ASSERT_EQ(g.gb->FindFilterByName(L"Audio Renderer", &ar), S_OK);
}

// Bad input never crashes or hangs.
TEST(FilterGraphBadInput, UnreadableFilesFail) {
  TempDir dir;
  EngineGraph g;
  EXPECT_TRUE(FAILED(g.Render(dir.file("missing.mp4"))));
  WriteFileBytes(dir.file("empty.mp4"), "");
  EXPECT_TRUE(FAILED(g.Render(dir.file("empty.mp4"))));
  WriteFileBytes(dir.file("text.avi"), std::string(5000, 'x') + "this is not a video file\n");
  EXPECT_TRUE(FAILED(g.Render(dir.file("text.avi"))));
  // The graph is still usable afterwards.
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 0.5);
  EXPECT_EQ(g.Render(path), S_OK);
}

TEST(FilterGraphBadInput, TruncatedFileEndsWithComplete) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kMpeg2Mp2Ps, 2.0);
  std::string bytes = ReadFileBytes(path);
  WriteFileBytes(path, bytes.substr(0, bytes.size() / 2));
  EngineGraph g;
  ASSERT_TRUE(SUCCEEDED(g.Render(path)));
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  size_t n = g.VideoCount();
  EXPECT_GT(n, 10u);
  EXPECT_LT(n, 45u);
}

TEST(FilterGraphBadInput, DamagedMiddleIsSkipped) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kMpeg4Mp3Avi, 2.0);
  std::string bytes = ReadFileBytes(path);
  for (size_t i = bytes.size() * 2 / 5; i < bytes.size() * 3 / 5; i += 7) bytes[i] = static_cast<char>(i * 31);
  WriteFileBytes(path, bytes);
  EngineGraph g;
  ASSERT_TRUE(SUCCEEDED(g.Render(path)));
  g.control->Run();
  ASSERT_TRUE(g.WaitComplete(20000));
  EXPECT_GT(g.VideoCount(), 20u);
  std::lock_guard<std::mutex> lock(g.cap.m);
  EXPECT_FALSE(g.cap.backwards);
}

TEST(FilterGraphBadInput, MoovlessMp4FailsCleanly) {
  TempDir dir;
  std::string path = Fixture(dir, FixtureKind::kH264AacMp4, 1.0);
  std::string bytes = ReadFileBytes(path);
  WriteFileBytes(path, bytes.substr(0, bytes.size() / 3));
  EngineGraph g;
  HRESULT hr = g.Render(path);
  if (SUCCEEDED(hr)) {
    g.control->Run();
    EXPECT_TRUE(g.WaitComplete(20000));
  } else {
    EXPECT_EQ(hr, VFW_E_INVALID_FILE_FORMAT);
  }
}

}  // namespace

namespace {

TEST(SystemObjects, FilterMapperListsDvdDecodersByExactType) {
  ComPtr<IFilterMapper2> mapper;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                             reinterpret_cast<void**>(&mapper)), S_OK);
  auto names = [&](bool input, GUID sub, DWORD merit) {
    GUID types[2] = {MEDIATYPE_DVD_ENCRYPTED_PACK, sub};
    ComPtr<IEnumMoniker> e;
    EXPECT_EQ(mapper->EnumMatchingFilters(&e, 0, TRUE, merit, input, input ? 1 : 0, input ? types : nullptr, nullptr,
                                          nullptr, FALSE, !input, input ? 0 : 1, input ? nullptr : types, nullptr,
                                          nullptr), S_OK);
    std::vector<std::wstring> out;
    IMoniker* m = nullptr;
    while (e->Next(1, &m, nullptr) == S_OK) {
      ComPtr<IMoniker> mk;
      mk.Attach(m);
      ComPtr<IPropertyBag> bag;
      EXPECT_EQ(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)), S_OK);
      VARIANT v;
      VariantInit(&v);
      EXPECT_EQ(bag->Read(L"FriendlyName", &v, nullptr), S_OK);
      out.push_back(v.bstrVal);
      VariantClear(&v);
    }
    return out;
  };
  auto video = names(true, MEDIASUBTYPE_MPEG2_VIDEO, MERIT_DO_NOT_USE + 1);
  ASSERT_EQ(video.size(), 1u);
  EXPECT_EQ(video[0], L"FFmpeg MPEG-2 Video Decoder");
  auto audio = names(true, MEDIASUBTYPE_DOLBY_AC3, MERIT_DO_NOT_USE + 1);
  ASSERT_EQ(audio.size(), 1u);
  EXPECT_EQ(audio[0], L"FFmpeg AC-3 Audio Decoder");
  EXPECT_TRUE(names(false, MEDIASUBTYPE_DVD_SUBPICTURE, 0).empty());  // no DVD navigator here
  EXPECT_TRUE(names(true, MEDIASUBTYPE_DOLBY_AC3, MERIT_PREFERRED).empty());
}

TEST(SystemObjects, RunningObjectTableRegistersAndRevokes) {
  ComPtr<IGraphBuilder> gb;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(&gb)), S_OK);
  ComPtr<IRunningObjectTable> rot;
  ASSERT_EQ(GetRunningObjectTable(0, &rot), S_OK);
  ComPtr<IMoniker> mk;
  ASSERT_EQ(CreateItemMoniker(L"!", L"FilterGraph 0000beef pid 00000001", &mk), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(rot->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, gb.get(), mk.get(), &cookie), S_OK);
  EXPECT_EQ(rot->IsRunning(mk.get()), S_OK);
  EXPECT_EQ(rot->Revoke(cookie), S_OK);
  EXPECT_EQ(rot->IsRunning(mk.get()), S_FALSE);
  EXPECT_EQ(rot->Revoke(cookie), E_INVALIDARG);
}

}  // namespace
