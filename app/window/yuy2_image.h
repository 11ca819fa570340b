#pragma once
// Packed 4:2:2 (YUY2) pictures as the video renderer presents them, turned
// into 32-bit RGB images the panel can paint.
#include <QImage>

// Converts width x height YUY2 (rows of width * 2 bytes, BT.601 studio
// range) to an RGB32 image; a null image for sizes that make no picture.
QImage Yuy2ToImage(const unsigned char* yuy2, int width, int height);
