#include "transfer/thumbnail.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tests/support/test_support.h"

namespace {
namespace fs = std::filesystem;

struct Rgb {
  int r, g, b;
};

// A frame in the capture layout whose four quadrants have the given colours
// (top-left, top-right, bottom-left, bottom-right), BT.601 studio range.
struct TestFrame {
  int w, h;
  std::vector<std::uint8_t> y, u, v;
  TestFrame(int width, int height, const Rgb (&q)[4]) : w(width), h(height), y(w * h), u(w * h), v(w * h) {
    for (int row = 0; row < h; ++row)
      for (int col = 0; col < w; ++col) {
        const Rgb& c = q[(row >= h / 2) * 2 + (col >= w / 2)];
        double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
        y[row * w + col] = static_cast<std::uint8_t>(16 + 65.481 * r + 128.553 * g + 24.966 * b + 0.5);
        if (col < w / 2) {
          // Chroma sample col covers luma columns 2col and 2col+1.
          const Rgb& cc = q[(row >= h / 2) * 2 + (2 * col >= w / 2)];
          r = cc.r / 255.0, g = cc.g / 255.0, b = cc.b / 255.0;
          u[row * w + col] = static_cast<std::uint8_t>(128 - 37.797 * r - 74.203 * g + 112 * b + 0.5);
          v[row * w + col] = static_cast<std::uint8_t>(128 + 112 * r - 93.786 * g - 18.214 * b + 0.5);
        }
      }
  }
  FramePlanes planes() const { return {y.data(), u.data(), v.data(), w, h}; }
};

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255},
    kBlack{0, 0, 0};

struct DecodedJpeg {
  int width = 0, height = 0, components = 0;
  bool progressive = true;
  std::vector<std::uint8_t> rgb;
  Rgb at(int x, int y) const {
    const std::uint8_t* p = &rgb[(y * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

DecodedJpeg DecodeJpeg(const std::string& bytes) {
  DecodedJpeg d;
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  d.progressive = jpeg_has_multiple_scans(&cinfo);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  d.width = static_cast<int>(cinfo.output_width);
  d.height = static_cast<int>(cinfo.output_height);
  d.components = cinfo.output_components;
  d.rgb.resize(std::size_t(d.width) * d.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &d.rgb[std::size_t(cinfo.output_scanline) * d.width * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return d;
}

void ExpectNear(const Rgb& got, const Rgb& want, const char* where) {
  EXPECT_NEAR(got.r, want.r, 40) << where;
  EXPECT_NEAR(got.g, want.g, 40) << where;
  EXPECT_NEAR(got.b, want.b, 40) << where;
}

std::uint32_t Le32(const std::string& s, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
}  // namespace

TEST(Thumbnail, CropWindowAndFactorsTruncateTowardZero) {
  CropWindow full = ThumbnailCropWindow(720, 480, CropFractions{0, 0, 1, 1}, 160, 120);
  EXPECT_EQ(full.x, 0);
  EXPECT_EQ(full.y, 0);
  EXPECT_EQ(full.width, 720);
  EXPECT_EQ(full.height, 480);
  EXPECT_DOUBLE_EQ(full.hFactor, 160.0 / 720.0);
  EXPECT_DOUBLE_EQ(full.vFactor, 120.0 / 480.0);

  CropWindow part = ThumbnailCropWindow(101, 480, CropFractions{0.5, 0.125, 0.75, 0.875}, 32, 24);
  EXPECT_EQ(part.x, 50);      // 50.5
  EXPECT_EQ(part.width, 25);  // 25.25
  EXPECT_EQ(part.y, 60);
  EXPECT_EQ(part.height, 360);
  EXPECT_DOUBLE_EQ(part.hFactor, 32.0 / 25.0);
}

TEST(Thumbnail, PathsReplaceTheFileNameExtension) {
  EXPECT_EQ(WithExtension("/media/PSP Movie/M4V20001.MP4", ".THM"), "/media/PSP Movie/M4V20001.THM");
  EXPECT_EQ(WithExtension("/media/PSP Movie/M4V20001.MP4", ".bmp"), "/media/PSP Movie/M4V20001.bmp");
  EXPECT_EQ(WithExtension("/tmp/out.d/video", ".THM"), "/tmp/out.d/video.THM");
  EXPECT_EQ(WithExtension("a.b.mp4", ".THM"), "a.b.THM");
}

// The ".THM" file is a 160 x 120 baseline JPEG of the (cropped) frame the
// right way up and in the right colours; the miniature is a 32 x 24 BMP,
// bottom-up and blue-green-red, with its marker sample; no ".bmp" remains.
TEST(Thumbnail, MakesTheThmJpegAndHandsOverTheMiniature) {
  TempDir dir;
  const std::string out = dir.file("M4V20001.MP4");
  TestFrame frame(720, 480, {kRed, kGreen, kBlue, kWhite});
  ClearThumbnailMade();
  std::string glyphPath, glyph;
  int result = MakeThumbnail(out, frame.planes(), CropFractions{}, [&](const std::string& bmp) {
    glyphPath = bmp;
    glyph = ReadFileBytes(bmp);
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(ThumbnailMade());
  EXPECT_EQ(glyphPath, dir.file("M4V20001.bmp"));
  EXPECT_FALSE(fs::exists(glyphPath));

  DecodedJpeg thm = DecodeJpeg(ReadFileBytes(dir.file("M4V20001.THM")));
  EXPECT_EQ(thm.width, 160);
  EXPECT_EQ(thm.height, 120);
  EXPECT_EQ(thm.components, 3);
  EXPECT_FALSE(thm.progressive);
  ExpectNear(thm.at(40, 30), kRed, "top left");
  ExpectNear(thm.at(120, 30), kGreen, "top right");
  ExpectNear(thm.at(40, 90), kBlue, "bottom left");
  ExpectNear(thm.at(120, 90), kWhite, "bottom right");

  ASSERT_EQ(glyph.size(), 54u + 32u * 24u * 3u);
  EXPECT_EQ(glyph.substr(0, 2), "BM");
  EXPECT_EQ(Le32(glyph, 2), glyph.size());
  EXPECT_EQ(Le32(glyph, 10), 54u);
  EXPECT_EQ(Le32(glyph, 14), 40u);
  EXPECT_EQ(Le32(glyph, 18), 32u);
  EXPECT_EQ(Le32(glyph, 22), 24u);
  EXPECT_EQ(glyph[28], 24);
  auto px = [&](int fileRow, int col) {
    const auto* p = reinterpret_cast<const unsigned char*>(glyph.data() + 54 + (fileRow * 32 + col) * 3);
    return Rgb{p[2], p[1], p[0]};
  };
  // File row 0 is the bottom row; its first pixel is the marker (Y = U = V = 254).
  Rgb marker = px(0, 0);
  EXPECT_EQ(marker.r, 255);
  EXPECT_EQ(marker.b, 255);
  EXPECT_LT(marker.g, 160);
  ExpectNear(px(0, 4), kBlue, "glyph bottom left");
  ExpectNear(px(0, 28), kWhite, "glyph bottom right");
  ExpectNear(px(23, 4), kRed, "glyph top left");
  ExpectNear(px(23, 28), kGreen, "glyph top right");
}

TEST(Thumbnail, CropWindowSelectsThePartShownAndASecondMakeOverwrites) {
  TempDir dir;
  const std::string out = dir.file("MAQ00001.MP4");
  TestFrame frame(720, 480, {kRed, kGreen, kBlue, kWhite});
  // The bottom-right quarter only.
  ASSERT_EQ(MakeThumbnail(out, frame.planes(), CropFractions{0.5, 0.5, 1, 1}), 0);
  DecodedJpeg first = DecodeJpeg(ReadFileBytes(dir.file("MAQ00001.THM")));
  ExpectNear(first.at(10, 10), kWhite, "cropped");
  ExpectNear(first.at(150, 110), kWhite, "cropped");

  TestFrame black(320, 240, {kBlack, kBlack, kBlack, kBlack});
  ASSERT_EQ(MakeThumbnail(out, black.planes(), CropFractions{}), 0);
  DecodedJpeg second = DecodeJpeg(ReadFileBytes(dir.file("MAQ00001.THM")));
  EXPECT_EQ(second.width, 160);
  ExpectNear(second.at(80, 60), kBlack, "overwritten");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"MAQ00001.THM"});
}

TEST(Thumbnail, FailuresAreReportedButNeverThrowAndStillSetTheFlag) {
  TestFrame frame(64, 48, {kRed, kRed, kRed, kRed});
  ClearThumbnailMade();
  EXPECT_EQ(MakeThumbnail("/nonexistent-folder/M4V00001.MP4", frame.planes(), CropFractions{}), -1);
  EXPECT_TRUE(ThumbnailMade());
  // An empty crop window makes nothing.
  TempDir dir;
  EXPECT_EQ(MakeThumbnail(dir.file("x.MP4"), frame.planes(), CropFractions{0.5, 0, 0.5, 1}), -1);
  EXPECT_FALSE(fs::exists(dir.file("x.THM")));
}

TEST(Thumbnail, AutomaticThumbnailOncePerRecordingAfterTwoAndAHalfSeconds) {
  ClearThumbnailMade();
  EXPECT_FALSE(ShouldMakeAutoThumbnail(12.5, 10.0));
  EXPECT_TRUE(ShouldMakeAutoThumbnail(12.6, 10.0));
  TempDir dir;
  TestFrame frame(64, 48, {kRed, kRed, kRed, kRed});
  MakeThumbnail(dir.file("a.MP4"), frame.planes(), CropFractions{});
  EXPECT_FALSE(ShouldMakeAutoThumbnail(20.0, 10.0));
  ClearThumbnailMade();
  EXPECT_TRUE(ShouldMakeAutoThumbnail(20.0, 10.0));
}

TEST(BmpWriter, RowsOfOtherWidthsArePaddedToFourBytes) {
  PlaneImage img(3, 2);
  TempDir dir;
  ASSERT_EQ(WriteBmpFile(dir.file("p.bmp"), img), 0);
  std::string bytes = ReadFileBytes(dir.file("p.bmp"));
  EXPECT_EQ(bytes.size(), 54u + 12u * 2u);
  EXPECT_EQ(Le32(bytes, 2), bytes.size());
  EXPECT_EQ(WriteBmpFile(dir.file("missing/p.bmp"), img), -1);
}
