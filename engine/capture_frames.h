#pragma once
// The capture path's picture side: what the media types say about the
// decoded pictures and audio, the frame buffers, and the turning of a decoded
// YUY2 picture into the output frame (passed through unchanged, or cropped
// and scaled into planes, filtered and packed again).
#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "core/frame_state.h"
#include "platform/core/shared_value.h"
#include "platform/core/zero_pages.h"
#include "platform/dshow/dshow.h"
#include "platform/lumimg/lumimg.h"

// Below this many pixels (720 x 560) the buffers keep their first capacity.
constexpr int kStaticFramePixels = 403200;

struct VideoFormatState {
  int SourceWidth = 0, SourceHeight = 0;  // size used for conversion
  int AspectX = 0, AspectY = 0;           // display aspect
  // Seconds; refined per frame by the sync code and bounded by the window's
  // speed supervision on the user-interface thread.
  SharedValue<double> ActualFrameTime = 0.0;
  double NominalFrameTime = 0.0;          // the type's own frame time
  double AverageFrameTime = 0.0;
  double SlowAverageFrameTime = 0.0;
  bool bFixedFrameTime = false;
  float FixedFrameTime = 0.33f;
  bool bVideoInfo2 = false;
  int MagnitudeWidth = 0, MagnitudeHeight = 0;  // |w|, |h| for the encoder parameters
  int RowBytes = 0;  // bytes of a decoded row: the bitmap's width, whatever the source rectangle selects
};

struct AudioFormatState {
  int AudioRate = 44100;
  int AudioChannels = 2;
  int AudioBits = 16;
  int AudioFrameBytes = 4;     // AudioChannels x 2: the engine works in 16-bit samples
  int OutputChannels = 2;      // for the encoder: 1 below two source channels, else 2
};

// How frames are scaled during a conversion (set by the recording start).
struct ScaleSettings {
  bool NeedResize = false;
  int TargetWidth = 0, TargetHeight = 0;
  CropFractions Crop;
  int FilterSwitch = 0;        // the sharpening step's value; 0 off
  double FilterStrength = 1.0; // the denoise step's strength, x 128 for the library
  int BrightnessOffset = 0;    // luma y becomes y x BrightnessGain + BrightnessOffset
  double BrightnessGain = 1.0;
  // Where the picture lies across the output frame: a source narrower than
  // 4:3 keeps its shape between black side bars. Width 0: the whole frame.
  int PictureLeft = 0, PictureWidth = 0;
};

// The picture's columns in a target of W x H (square pixels) for a source
// shown at displayAspect (width / height, crop applied): centred between
// black bars when the source is narrower than 4:3, else {0, 0} (the whole
// frame). Both numbers are even, so the half-width chroma stays aligned.
struct PictureColumns {
  int left = 0, width = 0;
};
PictureColumns PillarboxColumns(int W, int H, double displayAspect);

// Bytes of a frame buffer, on fresh pages and not zeroed: every user writes
// what it reads, and pages never written (a buffer sized for a larger
// picture than the one in hand) take no memory.
using FrameBytes = std::vector<std::uint8_t, FreshPagesAllocator<std::uint8_t>>;

// Planes and the output frame: the source planes sized for the decoded
// picture, the target planes and the output for the output frame (an HD
// source needs no HD output buffers). Capacities never shrink.
struct FrameBuffers {
  FrameBytes output;          // packed 4:2:2 at the target size
  FrameBytes srcY, srcU, srcV;
  FrameBytes dstY, dstU, dstV;
  int pixelCapacity = 0;        // of the source planes
  int targetPixelCapacity = 0;  // of the target planes and the output
  FrameBuffers();
  // Make room for pixels (w x h) of a source picture, or of an output frame;
  // false and "malloc error" when they cannot.
  bool Reserve(long long pixels);
  bool ReserveTarget(long long pixels);
};

// All of it lives inside the capture lock (streaming threads), except the
// calls from the builder on the user-interface thread before the graph runs.
struct CaptureFrameState {
  VideoFormatState video;
  AudioFormatState audio;
  ScaleSettings scale;
  FrameBuffers buffers;
  int PreviewCounter = -1;
  int DebugLevel = 0;
  const std::uint8_t* OutputFrame = nullptr;  // what the encoder receives for this frame
  bool PlanesValid = false;                   // the source planes hold a whole picture
  // The picture's size in the source planes: the source's, or, split from
  // a decoder's picture wider than kThumbnailPlanesWidth, shrunk to fit it
  // (they serve the thumbnails).
  int PlanesWidth = 0, PlanesHeight = 0;
  bool OutputValid = false;                   // the output buffer holds a frame of the target size
};

CaptureFrameState& CaptureFrames();

// Takes what a video type says. Returns the new display aspect (x / y) when
// it changed and the video panel should be told, else nothing.
std::optional<double> ApplyVideoMediaType(const AM_MEDIA_TYPE& mt, bool fromSample);

// Takes what an audio type says; without a format block (nullptr) the
// defaults 44100 Hz, 2 channels, 16 bits.
void ApplyAudioMediaType(const AM_MEDIA_TYPE* mt, bool fromSample);

// Splits the sample (SourceWidth x SourceHeight packed 4:2:2) into the
// source planes; false, leaving the planes alone, when the sample is shorter
// than the picture the type announced.
bool ConvertToPlanes(const std::uint8_t* sample, long sampleBytes);

// True when the picture cannot go to the encoder as it is: a resize was
// chosen at the start, or the picture's size or row length no longer match
// the target (the source changed its size during the conversion).
bool ResizeNeeded();

// True when the scaling set up for this conversion shrinks the cropped
// source to half its width and height or less (into the picture's columns
// of the target).
bool ShrinksToHalfOrLess();

// Produces the output frame for the current sample (sampleBytes long): the
// sample itself when no resizing is needed, else the cropped, scaled,
// filtered and packed picture in the output buffer, with the brightness
// applied. When this picture cannot be used (a short sample) the last output
// frame is repeated, or a black one given. Returns the output frame pointer.
const std::uint8_t* ScaleFrame(const std::uint8_t* sample, long sampleBytes);

// A video sample's picture: its packed 4:2:2 bytes, fetched (for a picture
// the decoder kept in its planes: packed) only when something reads them,
// and those planes when the decoder kept them.
class SamplePicture {
 public:
  explicit SamplePicture(IMediaSample* sample);
  IMediaSample* Sample() const { return sample_; }
  const std::uint8_t* Packed();
  long Bytes() const;
  const LumPlanarPicture* Planes() const { return planes_; }

 private:
  IMediaSample* sample_;
  const LumPlanarPicture* planes_;
  BYTE* packed_ = nullptr;
  bool fetched_ = false;
};

// ConvertToPlanes for a sample's picture: from the decoder's planes when it
// has them (the whole picture is never packed; one wider than
// kThumbnailPlanesWidth is shrunk by the least whole factor that brings it
// within: a 160 x 120 thumbnail needs no more), else from its packed bytes.
constexpr int kThumbnailPlanesWidth = 480;
bool ConvertToPlanes(SamplePicture& picture);

// ScaleFrame for a sample's picture: scaled from the decoder's planes when
// it has them (the colour converted on the scaled picture), else from its
// packed bytes.
const std::uint8_t* ScaleFrame(SamplePicture& picture);

// The frame-thinning rule for the preview while converting.
bool KeepPreviewFrame();
