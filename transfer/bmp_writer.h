#pragma once
// A thumbnail image in the capture path's three-plane layout, and its BMP
// file: 24 bits per pixel, bottom-up rows, blue-green-red.
#include <cstdint>
#include <string>
#include <vector>

// Luma and two chroma planes; the chroma planes have half the luma width
// and the full height, and every plane uses the luma width as its row stride.
struct PlaneImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> y, u, v;  // width x height bytes each

  PlaneImage() = default;
  PlaneImage(int w, int h);
};

// The image as packed 24-bit pixels, top row first, in the order R, G, B.
std::vector<std::uint8_t> PackedRgbPixels(const PlaneImage& image);

// Writes image as a BMP file ("wb"): the planes flipped vertically, packed
// and turned into B, G, R order, behind the 14-byte file header and the
// 40-byte information header. 0 on success, -1 when the file cannot be
// created or written.
int WriteBmpFile(const std::string& path, const PlaneImage& image);
