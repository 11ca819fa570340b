// What a conversion takes from the selected profile, and the default name
// of its output.
#include <algorithm>
#include <cstdio>
#include <strings.h>

#include "core/frame_state.h"
#include "encode/container_choice.h"
#include "encode/encoder_params.h"
#include "encode/encoder_texts.h"
#include "encode/stream_setup.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/recording.h"
#include "profiles/profile.h"
#include "profiles/wm_audio_format.h"
#include "settings/settings.h"
#include "settings/translate.h"

namespace {
// Step 1: the profile's range. A start of 0 keeps the start point the user
// last sought to (RecordStartSec: 0 for a new source and after Stop), never
// where playback has since moved the thumb; a length runs from the start
// point. The second pass keeps the range of the first.
void TakeProfileRange(const CProfile& p) {
  EngineView& v = View();
  if (Frame().CurrentPass == 2) return;
  if (p.ss > 0) v.MovePositionLow(p.ss);
  else v.SetPositionLow(Frame().RecordStartSec);
  if (p.t == 0) return;
  const int end = v.PositionLow() + p.t;
  if (v.PositionMax() < end) v.SetPositionMax(end);
  v.SetPositionHigh(end);
}

// Step 2: the profile's size, else the source's width with a height that
// keeps the aspect (a multiple of 16). Encoders take even sizes only.
void TakeTargetSize(const CProfile& p, EncoderParams& e) {
  const VideoFormatState& v = CaptureFrames().video;
  int w = 0, h = 0;
  if (!ParseProfileSize(p.s, &w, &h)) {
    w = v.MagnitudeWidth;
    if (IsWindowsMediaProfile(p)) h = v.MagnitudeHeight;
    else h = v.AspectX != 0 ? w * v.AspectY / v.AspectX / 16 * 16 : v.MagnitudeHeight;
  }
  e.width = std::max(w & ~1, 2);
  e.height = std::max(h & ~1, 2);
}

// The exact rate of the output: the NTSC ratios for 29.97 and 14.985, and
// for codecs that know only standard rates the nearest of those. The
// engine's frame slots and the writer's time base both follow it, so a
// source at the same rate keeps every picture in its place.
AVRational OutputFrameRate(const CProfile& p) {
  const ContainerChoice choice = ChooseContainer(Frame().OutputFormat, AppSettings().formatMp4 ? 1 : 0, p.vcodec, p.acodec);
  const AVRational exact = ExactFrameRate(p.r > 0 ? p.r : 29.97);
  return choice.video == AV_CODEC_ID_NONE ? exact : CodecFrameRate(choice.video, exact);
}

// The sound of the output: a Windows Media profile states it in its audio
// format text (its ab, ar and ac are not written to its file, so they hold
// whatever the profile read before it left there); the others in ab, ar, ac.
void TakeAudioFormat(const CProfile& p, EncoderParams& e, int sourceChannels) {
  if (IsWindowsMediaProfile(p)) {
    const WmAudioFormat f = ParseWmAudioFormat(p.aformat).value_or(WmAudioFormat{128, 44100, 2});
    e.audioKbps = f.kbps > 0 ? f.kbps : 128;
    e.outSampleRate = std::min(f.rate, 48000);
    e.outChannels = std::min(f.channels, 2);
    return;
  }
  e.audioKbps = p.ab > 0 ? p.ab : 128;
  e.outSampleRate = p.ar > 0 ? p.ar : 48000;
  const int channels = ProfileChannels(p);
  e.outChannels = channels >= 1 ? std::min(channels, 2) : sourceChannels;
}

// The recording encoder's texts in the user's language: its English texts are
// what the language table translates from.
EncoderTexts TranslatedEncoderTexts() {
  EncoderTexts t;
  for (std::string* text : {&t.overwrite, &t.overwritePart, &t.outputBusy, &t.outputFolderUnusable})
    *text = translate(*text);
  return t;
}

int DeviceCode(const std::string& device, int current) {
  if (strcasecmp(device.c_str(), "PSP") == 0) return 0;
  if (strcasecmp(device.c_str(), "iPod") == 0) return 1;
  return current;
}
}  // namespace

void LoadEncoderParameters() {
  EncTexts() = TranslatedEncoderTexts();
  const CProfile* profile = Frame().CurrentProfile;
  if (!profile) return;
  const CProfile& p = *profile;
  EncoderParams& e = EncParams();
  const Settings& s = AppSettings();
  const AudioFormatState& a = CaptureFrames().audio;
  TakeProfileRange(p);
  TakeTargetSize(p, e);
  // Step 3, with guards a damaged profile cannot get past.
  e.videoKbps = p.b > 0 ? p.b : 768;
  e.frameRate = av_q2d(OutputFrameRate(p));
  Engine().DeviceCode = DeviceCode(p.device, Engine().DeviceCode);
  TakeAudioFormat(p, e, a.OutputChannels);
  e.vcodec = p.vcodec;
  e.acodec = p.acodec;
  // The output-format settings.
  e.Mp4VideoCodec = s.formatMp4 ? 1 : 0;
  e.monoChoice = s.leftRightChannel;
  e.partLimitMiB = s.volume;
  e.srcSampleRate = a.AudioRate;
  e.srcChannels = a.AudioChannels;
  e.title = Engine().TitleName;
}

void MakeOutputFilename() {
  EngineState& e = Engine();
  FrameState& f = Frame();
  const std::string out = f.GetOutputPath();
  e.OutputNumber = -1;
  const auto srcSlash = e.SourcePath.rfind('/');
  const auto outSlash = out.rfind('/');
  if (srcSlash == std::string::npos || outSlash == std::string::npos) return;
  // 1. The title name: the source's file name without its extension.
  std::string name = e.SourcePath.substr(srcSlash + 1);
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
  e.TitleName = ShownText(name);
  // 2.
  f.SetOutputPath(NumberedOutputName(out.substr(0, outSlash), AppSettings().fileNumber));
  e.OutputNamedByUser = false;
}

std::string NumberedOutputName(const std::string& folder, int number) {
  char file[32];
  std::snprintf(file, sizeof(file), AppSettings().formatMp4 ? "MAQ%05d.MP4" : "M4V%05d.MP4", number);
  return folder + "/" + file;
}
