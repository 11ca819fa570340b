#include "platform/lumimg/halve.h"

#include <algorithm>
#include <cstddef>

#include "platform/lumimg/cpu_features.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define LUM_HAVE_AVX2_HALVING 1
#endif

namespace {
struct RowPair {
  const std::uint8_t* a;
  const std::uint8_t* b;
  std::uint8_t* d;
};

RowPair Rows(const std::uint8_t* src, int stride, int srcRows, std::uint8_t* dst, int dstStride, int r,
             int rowsPerOutput) {
  const int first = rowsPerOutput * r, last = std::min(first + rowsPerOutput - 1, srcRows - 1);
  return {src + static_cast<std::ptrdiff_t>(first) * stride, src + static_cast<std::ptrdiff_t>(last) * stride,
          dst + static_cast<std::ptrdiff_t>(r) * dstStride};
}

void HalveRow(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b, std::uint8_t* __restrict d, int from,
              int outW) {
  for (int x = from; x < outW; ++x)
    d[x] = static_cast<std::uint8_t>((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
}

#ifdef LUM_HAVE_AVX2_HALVING
// The 16 block sums, plus 2 for the rounding, of 32 bytes of two rows.
__attribute__((target("avx2"))) inline __m256i BlockSums(const std::uint8_t* a, const std::uint8_t* b) {
  const __m256i ones = _mm256_set1_epi8(1);
  const __m256i top = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
  const __m256i bottom = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
  return _mm256_add_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(top, ones), _mm256_maddubs_epi16(bottom, ones)),
                          _mm256_set1_epi16(2));
}

// 32 output samples at a time. A 1080p picture's halving reads 3 MB; the
// compiler's own vectors of the plain loop spend more time shuffling the
// even and odd samples apart than the memory takes to arrive, where one
// multiply-add of the unsigned bytes by one sums each pair in place.
__attribute__((target("avx2"))) void HalveRowAvx2(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* d,
                                                  int outW) {
  int x = 0;
  for (; x + 32 <= outW; x += 32) {
    const __m256i low = _mm256_srli_epi16(BlockSums(a + 2 * x, b + 2 * x), 2);
    const __m256i high = _mm256_srli_epi16(BlockSums(a + 2 * x + 32, b + 2 * x + 32), 2);
    // The pack works within each 128-bit half: the permute puts the four
    // 8-sample runs back in order.
    const __m256i packed = _mm256_packus_epi16(low, high);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), _mm256_permute4x64_epi64(packed, 0xD8));
  }
  HalveRow(a, b, d, x, outW);
}
#endif
}  // namespace

void LumHalvePlane(const std::uint8_t* src, int stride, int srcRows, std::uint8_t* dst, int dstStride, int outW,
                   int outH, int rowsPerOutput) {
#ifdef LUM_HAVE_AVX2_HALVING
  if (LumHasAvx2()) {
    for (int r = 0; r < outH; ++r) {
      const RowPair p = Rows(src, stride, srcRows, dst, dstStride, r, rowsPerOutput);
      HalveRowAvx2(p.a, p.b, p.d, outW);
    }
    return;
  }
#endif
  for (int r = 0; r < outH; ++r) {
    const RowPair p = Rows(src, stride, srcRows, dst, dstStride, r, rowsPerOutput);
    HalveRow(p.a, p.b, p.d, 0, outW);
  }
}
