// Draws the thumbnail button's default picture, "Thumbnail.bmp", which the
// main window shows until a conversion makes a thumbnail: a 32 x 24 frame of
// film with a play sign, written by the same BMP writer as the thumbnails.
// Run at build time:
//
//   make_default_thumbnail OUT.bmp
#include <cstdio>
#include <cstdlib>

#include "transfer/bmp_writer.h"
#include "transfer/thumbnail.h"

namespace {
struct Rgb {
  int r, g, b;
};

constexpr Rgb kFilm{32, 32, 36};
constexpr Rgb kSprocket{214, 214, 206};
constexpr Rgb kPicture{58, 110, 165};
constexpr Rgb kPlaySign{250, 250, 250};
// Rows of film above and below the picture, and the sprocket hole spacing.
constexpr int kFilmRows = 4;
constexpr int kSprocketStep = 4;

bool InPlaySign(int x, int y) {
  // A triangle pointing right, centred in the picture.
  const int left = 13, top = 6, bottom = 17;
  const int half = (bottom - top) / 2;
  const int dx = x - left, dy = y < top + half ? y - top : bottom - y;
  return y >= top && y <= bottom && dx >= 0 && dx <= dy;
}

Rgb PixelAt(int x, int y) {
  const bool film = y < kFilmRows || y >= kGlyphHeight - kFilmRows;
  if (!film) return InPlaySign(x, y) ? kPlaySign : kPicture;
  const bool holeRow = y == 1 || y == 2 || y == kGlyphHeight - 3 || y == kGlyphHeight - 2;
  const bool holeColumn = x % kSprocketStep == 1 || x % kSprocketStep == 2;
  return holeRow && holeColumn ? kSprocket : kFilm;
}

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); }

// Video-range BT.601, the matrix the BMP writer turns back into pixels.
PlaneImage Draw() {
  PlaneImage image(kGlyphWidth, kGlyphHeight);
  for (int y = 0; y < kGlyphHeight; ++y) {
    for (int x = 0; x < kGlyphWidth; ++x) {
      const Rgb p = PixelAt(x, y);
      image.y[y * kGlyphWidth + x] = Clamp(16 + (65.481 * p.r + 128.553 * p.g + 24.966 * p.b) / 255);
    }
    // One chroma sample for each two pixels, from their mean.
    for (int x = 0; x < kGlyphWidth / 2; ++x) {
      const Rgb a = PixelAt(2 * x, y), b = PixelAt(2 * x + 1, y);
      const double r = (a.r + b.r) / 2.0, g = (a.g + b.g) / 2.0, bl = (a.b + b.b) / 2.0;
      image.u[y * kGlyphWidth + x] = Clamp(128 + (-37.797 * r - 74.203 * g + 112.0 * bl) / 255);
      image.v[y * kGlyphWidth + x] = Clamp(128 + (112.0 * r - 93.786 * g - 18.214 * bl) / 255);
    }
  }
  return image;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_default_thumbnail OUT.bmp\n");
    return 2;
  }
  if (WriteBmpFile(argv[1], Draw()) != 0) {
    std::fprintf(stderr, "make_default_thumbnail: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
