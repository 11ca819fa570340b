#pragma once
// The image and resampling library: picture format conversion, plane scaling
// and filtering, colour conversion and per-channel sample-rate conversion.
// Planes are 8-bit, one byte per sample. Packed 4:2:2 is the YUY2 layout
// (Y0 U Y1 V, 2 bytes per pixel); its planes are Y at full width and U, V at
// half width, all at full height. No function reports a result.
#include <cstdint>
#include <memory>

// Splits packed 4:2:2 into planes. srcRowBytes is the source row length in
// bytes (2 x width for a tight frame).
void LumSplitPackedToPlanes(const std::uint8_t* src, int srcRowBytes,
                            std::uint8_t* y, int yStride,
                            std::uint8_t* u, int uStride,
                            std::uint8_t* v, int vStride,
                            int width, int height);

// Packs three 4:2:2 planes into packed 4:2:2. rowBytes is the picture width in
// bytes (2 x width), dstStride the output row length in bytes.
void LumPackPlanesToPacked(const std::uint8_t* y, int yStride,
                           const std::uint8_t* u, int uStride,
                           const std::uint8_t* v, int vStride,
                           std::uint8_t* dst, int rowBytes, int dstStride, int height);

// The colour of a YUV picture: its range (studio 16..235 or full 0..255)
// and the luma weights of its matrix (BT.601: 0.299, 0.114; BT.709: 0.2126,
// 0.0722).
struct LumYuvColour {
  bool fullRange = false;
  double kr = 0.299, kb = 0.114;
};
inline constexpr LumYuvColour kLumStudioBt601{};

// An affine map that takes a pixel of one colour to another, in fixed point
// with kLumColourShift fraction bits: Y' = y0 + yy Y + yu U + yv V,
// U' = u0 + uu U + uv V, V' = v0 + vu U + vv V.
inline constexpr int kLumColourShift = 14;
struct LumColourMap {
  int y0, yy, yu, yv;
  int u0, uu, uv;
  int v0, vu, vv;
};
LumColourMap LumMakeColourMap(const LumYuvColour& from, const LumYuvColour& to);

// A decoded picture in its planes: planar 4:2:0 (chromaRowShift 1: a chroma
// row serves two luma rows) or 4:2:2 (chromaRowShift 0), and, when it is not
// studio-range BT.601 already, the colour map that brings it there.
struct LumPlanarPicture {
  const std::uint8_t* planes[3] = {nullptr, nullptr, nullptr};
  int strides[3] = {0, 0, 0};
  int width = 0, height = 0, chromaRowShift = 0;
  bool converts = false;
  LumColourMap colour{};
  const LumColourMap* Colour() const { return converts ? &colour : nullptr; }
};

// Packs planar 4:2:0 (chromaRowShift 1: a chroma row serves two luma rows)
// or 4:2:2 (chromaRowShift 0) into packed 4:2:2 of an even width. With
// a colour map every pixel is converted on the way; without, copied.
void LumPlanarToPacked422(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride,
                          const std::uint8_t* v, int vStride, int chromaRowShift, std::uint8_t* dst,
                          int dstStride, int width, int height, const LumColourMap* colour = nullptr);

// Scales the crop window (cropX, cropY, cropW, cropH) of one plane to fill a
// dstW x dstH destination. The factors are dstW / cropW and dstH / cropH as
// the caller computed them; mode 2 is the smooth (bicubic) filter, any other
// mode bilinear. A crop window outside the plane is clipped to it.
void LumCropScalePlane(const std::uint8_t* src, int srcW, int srcH, int srcStride,
                       int cropX, int cropY, int cropW, int cropH,
                       std::uint8_t* dst, int dstStride, int dstW, int dstH,
                       double hFactor, double vFactor, int mode);

// The same for a whole packed 4:2:2 picture (row length srcRowBytes), read
// in one pass into three 4:2:2 planes of dstW x dstH (chroma half as wide,
// each plane dstStride bytes a row): the filters and results of scaling the
// picture's planes one by one, without splitting it first. The crop window
// starts on an even column and is an even number of columns wide.
void LumCropScalePacked422(const std::uint8_t* src, int srcW, int srcH, int srcRowBytes,
                           int cropX, int cropY, int cropW, int cropH,
                           std::uint8_t* dstY, std::uint8_t* dstU, std::uint8_t* dstV, int dstStride,
                           int dstW, int dstH, int mode);

// The same for a planar picture, read straight from its planes into three
// 4:2:2 planes of dstW x dstH. No colour is converted here: the picture's
// map applies to the (much smaller) result. The crop window starts on an
// even column, and on an even row for 4:2:0.
void LumCropScalePlanar(const LumPlanarPicture& src, int cropX, int cropY, int cropW, int cropH,
                        std::uint8_t* dstY, std::uint8_t* dstU, std::uint8_t* dstV, int dstStride,
                        int dstW, int dstH, int mode);

// Two-step filter of a plane, in place. Step one is a noise reducer: a
// 3 x 3 weighted blur mixed into the plane by strength / 128 (0 = off,
// 128 = full blur), applied to samples whose neighbourhood differs by less
// than the threshold (0..255; 7 is a light setting) so edges are kept.
// Step two sharpens: an unsharp mask of amount switchValue / 8 (0 = off).
// rowLength is the plane's row length in bytes.
void LumFilterPlaneDenoise(int strength, std::uint8_t* plane, int width, int rowLength,
                           int height, int threshold);
void LumFilterPlaneSharpen(int switchValue, std::uint8_t* plane, int width, int rowLength,
                           int height, int reserved);

// Converts three 4:2:2 planes (BT.601, studio range) into packed 24-bit
// pixels in the order R, G, B, one pixel per luma sample. rowLength is the
// output row length in bytes (3 x width).
void LumPlanesToPacked24(const std::uint8_t* y, int yStride,
                         const std::uint8_t* u, int uStride,
                         const std::uint8_t* v, int vStride,
                         std::uint8_t* dst, int rowLength, int height);

// Reorders the three bytes of every pixel: byte i of the result is byte
// order[i] of the source pixel ((2, 1, 0) turns R G B into B G R).
void LumReorderPixelBytes(std::uint8_t* buf, int rowLength, int rows, int o0, int o1, int o2);

// Converts one channel of 16-bit samples from one rate to another, keeping
// its filter history so consecutive blocks join without clicks or gaps.
class LumResampler {
 public:
  // phases: resolution of the filter's phase table (a power of two; 256 is
  // fine); cutoff: pass band as a fraction of the lower Nyquist rate;
  // kaiserBeta: window shape; linearInterp: interpolate between phases.
  static std::unique_ptr<LumResampler> Create(int srcRate, int outRate, int phases,
                                              double cutoff, double kaiserBeta, int linearInterp);
  virtual ~LumResampler() = default;
  // Converts n samples; writes at most outCapacity samples and returns their
  // count (about n x outRate / srcRate over consecutive calls).
  virtual int Convert(const std::int16_t* in, int n, std::int16_t* out, int outCapacity) = 0;
  // Most samples one Convert of n input samples can return.
  virtual int MaxOutput(int n) const = 0;
};
