// The map that moves YUV pixels from one range and matrix to another:
// through the picture's RGB, written as an affine map on the code values.
#include <cmath>

#include "platform/lumimg/lumimg.h"

namespace {
struct Scale {
  double luma, lumaOffset, chroma;  // code value = offset + scale x normalised value
};
Scale ScaleOf(const LumYuvColour& c) { return c.fullRange ? Scale{255, 0, 255} : Scale{219, 16, 224}; }

// Normalised (y, cb, cr) of one matrix in terms of another's: y' = y + a cb
// + b cr, cb' = c cb + d cr, cr' = e cb + f cr.
struct Matrix {
  double a, b, c, d, e, f;
};
Matrix MatrixBetween(const LumYuvColour& from, const LumYuvColour& to) {
  // RGB of the source: R = y + 2(1-kr) cr, B = y + 2(1-kb) cb, G from the luma sum.
  const double kg = 1 - from.kr - from.kb;
  const double rCr = 2 * (1 - from.kr), bCb = 2 * (1 - from.kb);
  const double gCb = -from.kb * bCb / kg, gCr = -from.kr * rCr / kg;
  // The target's luma and colour differences of that RGB.
  const double tkg = 1 - to.kr - to.kb;
  const double yCb = tkg * gCb + to.kb * bCb, yCr = to.kr * rCr + tkg * gCr;
  const double bDiv = 2 * (1 - to.kb), rDiv = 2 * (1 - to.kr);
  return {yCb, yCr, (bCb - yCb) / bDiv, -yCr / bDiv, -yCb / rDiv, (rCr - yCr) / rDiv};
}

int Fixed(double v) { return static_cast<int>(std::lround(v * (1 << kLumColourShift))); }
}  // namespace

LumColourMap LumMakeColourMap(const LumYuvColour& from, const LumYuvColour& to) {
  const Scale in = ScaleOf(from), out = ScaleOf(to);
  const Matrix m = MatrixBetween(from, to);
  // Code values to normalised ones: y = (Y - offset) / luma, c = (C - 128) / chroma.
  const double ly = out.luma / in.luma;
  const double yc = out.luma / in.chroma, cc = out.chroma / in.chroma;
  LumColourMap c{};
  c.yy = Fixed(ly);
  c.yu = Fixed(yc * m.a);
  c.yv = Fixed(yc * m.b);
  c.y0 = Fixed(out.lumaOffset - ly * in.lumaOffset - 128 * yc * (m.a + m.b));
  c.uu = Fixed(cc * m.c);
  c.uv = Fixed(cc * m.d);
  c.u0 = Fixed(128 - 128 * cc * (m.c + m.d));
  c.vu = Fixed(cc * m.e);
  c.vv = Fixed(cc * m.f);
  c.v0 = Fixed(128 - 128 * cc * (m.e + m.f));
  return c;
}
