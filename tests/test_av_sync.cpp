// The re-timing of pictures and audio onto output frame slots, driven by
// scripted sample sequences fed straight into the two callbacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "core/frame_state.h"
#include "encode/encoder_params.h"
#include "encode/recording_encoder.h"
#include "engine/audio_sync.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/picture_hold.h"
#include "engine/recording_slots.h"
#include "engine/sync_state.h"
#include "engine/video_sync.h"
#include "platform/dshow/filters.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace {
constexpr int kW = 64, kH = 48;

// One Deliver call as the encoder received it.
struct Delivery {
  int picture;                     // the input picture's number (its first byte), -1 without one
  const std::uint8_t* frame;
  std::vector<std::int16_t> audio;
};
std::vector<Delivery>* g_deliveries = nullptr;
int g_channels = 2;

int RecordDelivery(const std::uint8_t* frame, const std::int16_t* audio, int sampleFrames) {
  Delivery d{frame ? frame[1] | frame[3] << 8 : -1, frame, {}};
  if (audio && sampleFrames > 0) d.audio.assign(audio, audio + sampleFrames * g_channels);
  g_deliveries->push_back(std::move(d));
  return 0;
}

ComPtr<IMediaSample> NewSample(size_t bytes) {
  auto* s = new MediaSample(bytes);
  s->SetActualDataLength(static_cast<LONG>(bytes));
  return ComPtr<IMediaSample>(s);
}

// Audio sample value at absolute sample frame n: never 0, so silence is
// told apart from sound, and it says where in the source it came from.
std::int16_t AudioValue(long long n) { return static_cast<std::int16_t>(n % 30000 + 1); }

class AvSync : public ::testing::Test {
 protected:
  void SetUp() override {
    deliveries_.clear();
    g_deliveries = &deliveries_;
    Deliver = RecordDelivery;
    ResetSyncState();
    ::Sync().LastVideoTime = 0.0;
    ::Sync().SampleStartTime = 0.0;
    ::Sync().PrevVideoStart = 0.0;
    ::Sync().RangeLength = 0.0;
    CaptureFrames().video = VideoFormatState();
    CaptureFrames().scale = ScaleSettings();
    AppSettings().audioVolume = 5;
    AppSettings().volume = 2048;
    Frame().SetOutputPath("");
    Frame().CurrentPass = 1;
    Engine().AudioSourcePresent = true;
  }
  void TearDown() override {
    Frame().IsRecording = false;
    Deliver = DeliverInline;
    g_deliveries = nullptr;
  }

  void Formats(double inFps, double outFps, int rate, int channels = 2, int bits = 16) {
    VIDEOINFOHEADER vih{};
    vih.bmiHeader.biWidth = kW;
    vih.bmiHeader.biHeight = kH;
    vih.AvgTimePerFrame = static_cast<REFERENCE_TIME>(std::llround(1e7 / inFps));
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Video;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = reinterpret_cast<BYTE*>(&vih);
    ApplyVideoMediaType(mt, false);
    WAVEFORMATEX wfx{};
    wfx.nSamplesPerSec = rate;
    wfx.nChannels = static_cast<WORD>(channels);
    wfx.wBitsPerSample = static_cast<WORD>(bits);
    AM_MEDIA_TYPE at{};
    at.majortype = MEDIATYPE_Audio;
    at.formattype = FORMAT_WaveFormatEx;
    at.cbFormat = sizeof(wfx);
    at.pbFormat = reinterpret_cast<BYTE*>(&wfx);
    ApplyAudioMediaType(&at, false);
    g_channels = channels;
    rate_ = rate;
    inFps_ = inFps;
    EncParams().frameRate = outFps;
    ScaleSettings& s = CaptureFrames().scale;
    s.TargetWidth = kW;
    s.TargetHeight = kH;
    s.NeedResize = false;
  }

  void StartRecording() {
    Frame().IsRecording = true;
    Engine().bRecordingFirstSample = true;
  }

  void Picture(int number, double t1, double t2) {
    auto s = NewSample(kW * kH * 2);
    BYTE* p = nullptr;
    s->GetPointer(&p);
    std::memset(p, 128, kW * kH * 2);
    p[1] = static_cast<BYTE>(number & 0xFF);  // in the chroma bytes: the brightness never touches them
    p[3] = static_cast<BYTE>(number >> 8);
    REFERENCE_TIME a = std::llround(t1 * 1e7), b = std::llround(t2 * 1e7);
    OnVideoSample(s.get(), &a, &b, 0, FALSE);
  }

  // An audio block of frames sample frames starting at stream time t whose
  // values carry the source positions from firstFrame on.
  void Audio(double t, long long firstFrame, int frames) {
    auto s = NewSample(static_cast<size_t>(frames) * g_channels * 2);
    BYTE* p = nullptr;
    s->GetPointer(&p);
    auto* pcm = reinterpret_cast<std::int16_t*>(p);
    for (int i = 0; i < frames; ++i)
      for (int c = 0; c < g_channels; ++c) pcm[i * g_channels + c] = AudioValue(firstFrame + i);
    REFERENCE_TIME a = std::llround(t * 1e7), b = std::llround((t + double(frames) / rate_) * 1e7);
    OnAudioSample(s.get(), &a, &b, 0, FALSE);
  }

  // A clip of seconds: audio in blocks of 1024 frames ahead of the pictures,
  // as a graph delivers them, from stream time t0 on.
  // lead is how many pictures the sound runs ahead (negative: behind).
  void Clip(double seconds, double t0 = 0.0, int firstPicture = 0, long long firstAudio = 0, int lead = 2) {
    const int pictures = static_cast<int>(std::lround(seconds * inFps_));
    long long audioFrames = 0;
    const long long totalAudio = std::llround(seconds * rate_);
    for (int i = 0; i < pictures; ++i) {
      const double t = t0 + i / inFps_;
      while (audioFrames < totalAudio && double(audioFrames) / rate_ < (i + lead) / inFps_) {
        const int n = static_cast<int>(std::min<long long>(1024, totalAudio - audioFrames));
        Audio(t0 + double(audioFrames) / rate_, firstAudio + audioFrames, n);
        audioFrames += n;
      }
      Picture(firstPicture + i, t, t + 1 / inFps_);
    }
  }

  // Sound on a thread of its own, fed as a graph's clock lets it through:
  // at most two seconds beyond the output written so far; its end comes
  // after the last of it. EndSound() lets the rest through at once (the
  // pictures are done: nothing would take more).
  std::thread PacedSound(double seconds) {
    return std::thread([this, seconds] {
      const long long total = std::llround(seconds * rate_);
      for (long long n = 0; n < total;) {
        double written;
        {
          CritSecLock lock(CaptureLock());
          written = ::Sync().ExpectedSampleTime;
        }
        if (static_cast<double>(n) / rate_ > written + 2 && !picturesDone_) {
          Sleep(1);
          continue;
        }
        const int frames = static_cast<int>(std::min<long long>(1024, total - n));
        Audio(static_cast<double>(n) / rate_, n, frames);
        n += frames;
        soundFed_ = static_cast<double>(n) / rate_;
      }
      OnAudioEndOfStream();
    });
  }
  // Waits until the paced sound reaches stream time t.
  void WaitForSound(double t) const {
    while (soundFed_ < t) Sleep(1);
  }
  void EndSound(std::thread& sound) {
    picturesDone_ = true;
    sound.join();
    CritSecLock lock(CaptureLock());
    FlushOwedAudio();
  }

  // The sound delivered is the source's from its first sample, nothing
  // skipped, repeated or silenced, as long as the slots.
  void ExpectWholeSound(int rate) const {
    const auto audio = DeliveredAudio();
    EXPECT_NEAR(static_cast<double>(audio.size() / g_channels), deliveries_.size() * rate / EncParams().frameRate, 2);
    for (size_t i = 0; i < audio.size(); i += g_channels)
      ASSERT_EQ(audio[i], AudioValue(static_cast<long long>(i / g_channels))) << "sample " << i / g_channels;
  }

  long long DeliveredAudioFrames() const {
    long long n = 0;
    for (const auto& d : deliveries_) n += static_cast<long long>(d.audio.size()) / g_channels;
    return n;
  }
  std::vector<std::int16_t> DeliveredAudio() const {
    std::vector<std::int16_t> all;
    for (const auto& d : deliveries_) all.insert(all.end(), d.audio.begin(), d.audio.end());
    return all;
  }

  std::vector<Delivery> deliveries_;
  std::atomic<double> soundFed_{0.0};  // stream time the paced sound has reached
  std::atomic<bool> picturesDone_{false};
  long long deliveredFrames_ = 0;
  std::int16_t lastValue_ = 0;
  int rate_ = 44100;
  double inFps_ = 25;
};

TEST_F(AvSync, Pictures25fpsAt2997RepeatSomeAndKeepTheAudioWhole) {
  Formats(25, 29.97, 44100);
  StartRecording();
  Clip(10.0);
  const auto& d = deliveries_;
  // 10 s at 29.97 fps, less the slot the last picture cannot close.
  EXPECT_NEAR(static_cast<double>(d.size()), 299.7, 2);
  int repeats = 0;
  for (size_t i = 1; i < d.size(); ++i) {
    EXPECT_GE(d[i].picture, d[i - 1].picture) << "pictures never go back";
    EXPECT_LE(d[i].picture - d[i - 1].picture, 1) << "no picture is dropped at a higher output rate";
    repeats += d[i].picture == d[i - 1].picture;
  }
  EXPECT_NEAR(repeats, 50, 2) << "one picture in five is shown twice";
  // Every slot carries 1471 or 1472 sample frames, and together they are
  // the source audio from its first sample on, nothing skipped or repeated.
  for (const auto& x : d) {
    const size_t n = x.audio.size() / 2;
    EXPECT_TRUE(n == 1471 || n == 1472) << n;
  }
  const auto audio = DeliveredAudio();
  for (size_t i = 0; i < audio.size(); i += 2) ASSERT_EQ(audio[i], AudioValue(static_cast<long long>(i / 2))) << i;
}

// The sound runs 3, 8 and 30 pictures behind its pictures (a loaded
// machine): slots borrow it, and the stop pays what is still owed, so the
// output's sound is the source's, whole and in order, as long as its video.
TEST_F(AvSync, SoundArrivingAfterItsPicturesIsDeliveredWhole) {
  for (int lag : {3, 8, 30}) {
    SCOPED_TRACE(lag);
    SetUp();
    Formats(25, 29.97, 48000);
    StartRecording();
    Clip(10.0, 0.0, 0, 0, -lag);
    {
      CritSecLock lock(CaptureLock());
      FlushOwedAudio();
    }
    const auto audio = DeliveredAudio();
    const auto pictures = std::count_if(deliveries_.begin(), deliveries_.end(), [](const Delivery& d) { return d.frame; });
    EXPECT_NEAR(static_cast<double>(audio.size() / 2), pictures * 48000 / 29.97, 1);
    for (size_t i = 0; i < audio.size(); i += 2) {
      const std::int16_t want = AudioValue(static_cast<long long>(i / 2));
      if (audio[i] != want && audio[i] != 0) {
        ADD_FAILURE() << "sample " << i / 2 << " is " << audio[i] << ", wanted " << want << " (or silence)";
        break;
      }
    }
  }
}

TEST_F(AvSync, Pictures30fpsAt25SkipOneInSix) {
  Formats(30, 25, 48000);
  StartRecording();
  Clip(6.0);
  const auto& d = deliveries_;
  EXPECT_NEAR(static_cast<double>(d.size()), 150, 2);
  int skipped = 0;
  for (size_t i = 1; i < d.size(); ++i) {
    ASSERT_GT(d[i].picture, d[i - 1].picture) << "no picture is shown twice at a lower output rate";
    skipped += d[i].picture - d[i - 1].picture - 1;
  }
  EXPECT_NEAR(skipped, 30, 2) << "one picture in six is left out";
  for (const auto& x : d) EXPECT_EQ(x.audio.size() / 2, 1920u);
}

TEST_F(AvSync, AnHourOfSlotsAt2997Carries1471Or1472WithoutDrift) {
  Formats(29.97, 29.97, 44100);
  StartRecording();
  // Straight into the slots: one picture per output slot for an hour.
  const int slots = static_cast<int>(3600 * 29.97);
  long long audioFrames = 0;
  for (int i = 0; i < slots; ++i) {
    const double t = i / 29.97;
    while (double(audioFrames) / 44100 < (i + 2) / 29.97) {
      Audio(double(audioFrames) / 44100, audioFrames, 4410);
      audioFrames += 4410;
    }
    Picture(i, t, t + 1 / 29.97);
    if (deliveries_.size() > 1000) {
      for (const auto& x : deliveries_) {
        const size_t n = x.audio.size() / 2;
        ASSERT_TRUE(n == 1471 || n == 1472) << n << " at slot " << i;
      }
      deliveredFrames_ += DeliveredAudioFrames();
      lastValue_ = deliveries_.back().audio.back();
      deliveries_.clear();
    }
  }
  deliveredFrames_ += DeliveredAudioFrames();
  lastValue_ = deliveries_.back().audio.back();
  const long long expected = std::llround(slots * 44100.0 / 29.97);
  EXPECT_NEAR(static_cast<double>(deliveredFrames_), static_cast<double>(expected), 1.0);
  EXPECT_EQ(lastValue_, AudioValue(deliveredFrames_ - 1)) << "the last sample delivered is the one of its time";
}

TEST_F(AvSync, PicturesBeforeAnyAudioStartWithSilence) {
  Formats(25, 25, 44100);
  StartRecording();
  // Pictures from 0 s, the sound only from 0.52 s on.
  for (int i = 0; i < 50; ++i) {
    const double t = i / 25.0;
    if (i >= 13 && (i - 13) % 2 == 0) Audio(t, std::llround((t - 0.52) * 44100), 3528);
    Picture(i, t, t + 0.04);
  }
  const auto audio = DeliveredAudio();
  size_t firstSound = 0;
  while (firstSound < audio.size() && audio[firstSound] == 0) ++firstSound;
  ASSERT_LT(firstSound, audio.size());
  EXPECT_NEAR(static_cast<double>(firstSound / 2), 0.52 * 44100, 1764) << "the sound begins at 0.52 s, within 40 ms";
  EXPECT_EQ(audio[firstSound], AudioValue(0));
}

TEST_F(AvSync, AudioGoingBack60msRestartsTheBuffer50msIsAppended) {
  Formats(25, 25, 44100);
  Audio(0.0, 0, 44100);  // one second held
  SyncState& s = ::Sync();
  ASSERT_EQ(s.audio_buffer_i, 44100 * 4);
  Audio(1.0 - 0.05, 500000, 441);
  EXPECT_EQ(s.audio_buffer_i, 44100 * 4) << "a step back of 50 ms is written at its own place";
  EXPECT_DOUBLE_EQ(s.audio_buffer_start_time, 0.0);
  const auto* pcm = reinterpret_cast<const std::int16_t*>(s.audio.data());
  EXPECT_EQ(pcm[41895 * 2], AudioValue(500000));
  EXPECT_EQ(pcm[0], AudioValue(0)) << "the held audio stays";
  const double end = s.audio_buffer_start_time + s.audio_buffer_i / (4.0 * 44100);
  Audio(end - 0.06, 0, 441);
  EXPECT_EQ(s.audio_buffer_i, 441 * 4) << "a step back of 60 ms starts the buffer again";
  EXPECT_NEAR(s.audio_buffer_start_time, end - 0.06, 1e-6);
}

TEST_F(AvSync, TheFirstSoundAfterASeekStartsTheBufferAgain) {
  Formats(25, 25, 48000);
  Audio(0.0, 0, 1024);  // the preview's first block
  // The seek lands at the same place: the same block comes again, marked.
  auto s = NewSample(1024 * 4);
  BYTE* p = nullptr;
  s->GetPointer(&p);
  for (int i = 0; i < 2048; ++i) reinterpret_cast<std::int16_t*>(p)[i] = 7;
  s->SetDiscontinuity(TRUE);
  REFERENCE_TIME a = 0, b = 1024 * 10'000'000LL / 48000;
  OnAudioSample(s.get(), &a, &b, 0, FALSE);
  EXPECT_EQ(::Sync().audio_buffer_i, 1024 * 4) << "not appended behind the first block";
  EXPECT_EQ(reinterpret_cast<const std::int16_t*>(::Sync().audio.data())[0], 7);
}

TEST_F(AvSync, AGapOfMoreThanASecondIsLeftOutOfTheOutput) {
  Formats(25, 25, 44100);
  StartRecording();
  Clip(2.0, 0.0, 0, 0);
  const size_t before = deliveries_.size();
  Clip(2.0, 4.0, 100, 10'000'000);  // the source resumes 2 s later
  EXPECT_NEAR(static_cast<double>(deliveries_.size()), 100, 2) << "4 s of pictures, not 6";
  EXPECT_NEAR(static_cast<double>(before), 50, 2);
  // The audio stays with the pictures: as much as the slots last, and the
  // resumed sound right after the first part's.
  EXPECT_NEAR(static_cast<double>(DeliveredAudioFrames()), deliveries_.size() * 1764.0, 1764);
  const auto audio = DeliveredAudio();
  const size_t resumed = before * 1764 * 2;
  EXPECT_NEAR(static_cast<double>(std::find(audio.begin() + resumed - 3528, audio.end(), AudioValue(10'000'000)) -
                                  audio.begin()) / 2,
              static_cast<double>(resumed / 2), 1764);
}

TEST_F(AvSync, EightBitAudioIsUnsignedAroundItsMiddle) {
  Formats(25, 25, 22050, 1, 8);
  auto s = NewSample(4);
  BYTE* p = nullptr;
  s->GetPointer(&p);
  p[0] = 128, p[1] = 255, p[2] = 0, p[3] = 129;
  REFERENCE_TIME a = 0, b = 4 * 10'000'000LL / 22050;
  OnAudioSample(s.get(), &a, &b, 0, FALSE);
  const auto* pcm = reinterpret_cast<const std::int16_t*>(::Sync().audio.data());
  EXPECT_EQ(pcm[0], 0);
  EXPECT_EQ(pcm[1], 127 * 256);
  EXPECT_EQ(pcm[2], -32768);
  EXPECT_EQ(pcm[3], 256);
}

TEST_F(AvSync, AudioEndingBeforeThePicturesNeverReadsPastWhatIsHeld) {
  Formats(25, 29.97, 44100);
  StartRecording();
  Audio(0.0, 0, 22050);  // half a second of sound for twenty seconds of pictures
  for (int i = 0; i < 500; ++i) Picture(i, i / 25.0, (i + 1) / 25.0);
  const auto audio = DeliveredAudio();
  ASSERT_GT(audio.size(), 44100u);
  for (size_t i = 0; i < 22050 * 2 - 4000; i += 2) ASSERT_EQ(audio[i], AudioValue(static_cast<long long>(i / 2)));
  for (size_t i = 23000 * 2; i < audio.size(); ++i) ASSERT_EQ(audio[i], 0) << "after the sound ends: silence";
}

TEST_F(AvSync, AHugeAudioSampleAndAZeroFrameRateAreSurvived) {
  Formats(25, 0.0, 44100);  // a profile without a frame rate
  StartRecording();
  Audio(0.0, 0, 1'000'000);  // more than the buffer holds
  EXPECT_LE(::Sync().audio_buffer_i, kHeldAudioBytes);
  for (int i = 0; i < 10; ++i) Picture(i, i / 25.0, (i + 1) / 25.0);
  EXPECT_FALSE(deliveries_.empty());
}

TEST_F(AvSync, SourceWithoutAudioGetsExactlyASlotOfSilencePerPicture) {
  Formats(25, 29.97, 44100);
  Engine().AudioSourcePresent = false;
  StartRecording();
  for (int i = 0; i < 250; ++i) Picture(i, i / 25.0, (i + 1) / 25.0);
  EXPECT_NEAR(static_cast<double>(deliveries_.size()), 299.7, 2);
  EXPECT_NEAR(static_cast<double>(DeliveredAudioFrames()), deliveries_.size() * 44100 / 29.97, 1);
  for (auto v : DeliveredAudio()) ASSERT_EQ(v, 0);
}

TEST_F(AvSync, TheRangeEndsTheOutputAtItsLength) {
  Formats(25, 25, 44100);
  ::Sync().RangeLength = 3.0;
  StartRecording();
  Clip(5.0);
  EXPECT_EQ(deliveries_.size(), 75u);
  EXPECT_EQ(DeliveredAudioFrames(), 3 * 44100);
}

TEST_F(AvSync, WithoutResizeTheSampleItselfGoesToTheEncoder) {
  Formats(25, 25, 44100);
  StartRecording();
  Clip(0.4);
  ASSERT_FALSE(deliveries_.empty());
  for (const auto& d : deliveries_) EXPECT_NE(d.frame, CaptureFrames().buffers.output.data());
  // A brightness change needs a copy it can change.
  CaptureFrames().scale.BrightnessOffset = 12;
  CaptureFrames().scale.BrightnessGain = 1.12;
  deliveries_.clear();
  Picture(10, 0.4, 0.44);
  ASSERT_FALSE(deliveries_.empty());
  EXPECT_EQ(deliveries_.back().frame, CaptureFrames().buffers.output.data());
  EXPECT_EQ(deliveries_.back().frame[0], static_cast<std::uint8_t>(std::lround(128 * 1.12 + 12)));
  CaptureFrames().scale.BrightnessOffset = 0;
  CaptureFrames().scale.BrightnessGain = 1.0;
}
// A slide show of one picture every two seconds: each picture fills its
// own two seconds of slots (not the past before it), with the sound of
// those seconds, whole and in order.
TEST_F(AvSync, ASlideShowPictureFillsItsOwnSecondsWithTheirSound) {
  Formats(0.5, 29.97, 48000);
  StartRecording();
  Clip(12.0);
  const auto& d = deliveries_;
  EXPECT_NEAR(static_cast<double>(d.size()), 12 * 29.97, 2);
  for (size_t k = 0; k < d.size(); ++k) {
    const double t = k / 29.97;
    // Slots within a frame of a picture's edge may show either picture.
    if (std::fabs(t / 2 - std::round(t / 2)) * 2 < 1 / 29.97) continue;
    ASSERT_EQ(d[k].picture, static_cast<int>(t / 2)) << "slot " << k << " at " << t << " s";
  }
  ExpectWholeSound(48000);
}

// A variable-rate recording holds one picture for 20 s while its sound goes
// on: the pause is in the output, its slots show that picture, and the
// sound is whole (nothing cut).
TEST_F(AvSync, PicturesPausingWhileTheSoundGoesOnHoldTheLastPicture) {
  Formats(25, 29.97, 48000);
  StartRecording();
  std::thread sound = PacedSound(26.0);
  for (int i = 0; i < 150; ++i) {
    const double t = (i < 100 ? 0 : 20) + i / 25.0;
    if (i != 100) WaitForSound(t + 0.04);  // the first picture after the pause comes before its sound
    Picture(i, t, t + 0.04);
  }
  EndSound(sound);
  const auto& d = deliveries_;
  EXPECT_NEAR(static_cast<double>(d.size()), 26 * 29.97, 2);
  for (size_t k = 0; k < d.size(); ++k) {
    const double t = k / 29.97;
    if (t > 4.05 && t < 23.95) ASSERT_EQ(d[k].picture, 99) << "slot " << k << " in the pause";
    if (t > 24.05) ASSERT_GE(d[k].picture, 100) << "slot " << k << " after the pause";
  }
  ExpectWholeSound(48000);
}

// The pictures end at 2 s, the sound at 10 s: the last picture holds until
// the sound ends, with all of it.
TEST_F(AvSync, TheLastPictureHoldsUntilTheSoundEnds) {
  Formats(25, 29.97, 48000);
  StartRecording();
  std::thread sound = PacedSound(10.0);
  for (int i = 0; i < 50; ++i) {
    WaitForSound((i + 1) / 25.0);
    Picture(i, i / 25.0, (i + 1) / 25.0);
  }
  OnVideoEndOfStream();
  EndSound(sound);
  EXPECT_NEAR(static_cast<double>(deliveries_.size()), 10 * 29.97, 1);
  EXPECT_EQ(deliveries_.back().picture, 49);
  ExpectWholeSound(48000);
}

// A conversion stopped while the last picture waits for sound that never
// comes ends the wait; the sound there was is written.
TEST_F(AvSync, AStopEndsAHoldThatWaitsForSound) {
  Formats(25, 25, 48000);
  StartRecording();
  Audio(0.0, 0, 48000);
  for (int i = 0; i < 5; ++i) Picture(i, i / 25.0, (i + 1) / 25.0);
  std::atomic<bool> returned{false};
  std::thread tail([&returned] {
    OnVideoEndOfStream();
    returned = true;
  });
  bool holding = false;
  for (; !holding && !returned; Sleep(1)) {
    CritSecLock lock(CaptureLock());
    holding = ::Sync().Holding;
  }
  EXPECT_TRUE(holding) << "the last picture waits for the sound to go on";
  {
    CritSecLock lock(CaptureLock());
    Frame().IsRecording = false;
  }
  tail.join();
  EXPECT_EQ(deliveries_.size(), 25u) << "the second of sound there is, no more";
}

}  // namespace

// The sound buffer is sized for the worst case (about 5 MB); a conversion
// takes memory only for the sound it holds, and a clear leaves silence.
TEST(SoundBuffer, TakesMemoryOnlyWhereWrittenAndIsSilentAfterAClear) {
  AudioBuffer buffer;
  std::memset(buffer.data(), 0x55, 8192);
  const int resident = ResidentPages(buffer.data(), kHeldAudioBytes);
  EXPECT_GE(resident, 2);
  EXPECT_LE(resident, 4) << "only the written pages";
  buffer.ClearAll();
  EXPECT_TRUE(std::all_of(buffer.data(), buffer.data() + 8192, [](std::uint8_t b) { return b == 0; }));
  const std::int16_t* silence = buffer.silence();
  EXPECT_TRUE(std::all_of(silence, silence + kSilenceBytes / 2, [](std::int16_t v) { return v == 0; }));
}
