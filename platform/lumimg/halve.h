// Halving of a picture plane: the rounded average of each 2 x 2 block.
#pragma once

#include <cstdint>

// outW x outH samples from rows 2r and 2r + 1 of src (the last row of an odd
// count pairs with itself); with rowsPerOutput 1, the average of each pair
// of samples of row r.
void LumHalvePlane(const std::uint8_t* src, int stride, int srcRows, std::uint8_t* dst, int dstStride, int outW,
                   int outH, int rowsPerOutput = 2);
