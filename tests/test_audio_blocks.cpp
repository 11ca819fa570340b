#include "encode/audio_blocks.h"
#include "encode/encoder_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/test_support.h"

TEST(AudioBlocks, BlockSizesFollowTheFrameRateWithoutDrift) {
  double rem = 0;
  std::vector<int> got;
  for (int i = 0; i < 10; ++i) got.push_back(NextAudioBlockSize(48000 / 29.97, rem));
  EXPECT_EQ(got, (std::vector<int>{1602, 1602, 1601, 1602, 1602, 1601, 1602, 1601, 1602, 1602}));

  rem = 0;
  for (int i = 0; i < 100; ++i) ASSERT_EQ(NextAudioBlockSize(44100 / 25.0, rem), 1764);

  // An hour of 44100 Hz at 29.97: every block 1471 or 1472, the total exact.
  rem = 0;
  const double x = 44100 / 29.97;
  long long total = 0;
  const int blocks = 29.97 * 3600;
  for (int i = 0; i < blocks; ++i) {
    int n = NextAudioBlockSize(x, rem);
    ASSERT_TRUE(n == 1471 || n == 1472) << n;
    total += n;
  }
  EXPECT_NEAR(static_cast<double>(total), blocks * x, 1.0);
  EXPECT_EQ(AudioBlockThresholdBytes(48000 / 29.97, 2), static_cast<int>((48000 / 29.97 + 1) * 4));
}

TEST(AudioBlocks, ChannelConversionTable) {
  std::int16_t a[4] = {0}, b[4] = {0};
  // 5.1: FL FR C LFE BL BR.
  const std::int16_t six[6] = {100, 200, 10, 20, 1000, 3000};
  ConvertChannels(six, 1, 6, 2, 1, a, b);
  EXPECT_EQ(a[0], (100 + 10 + 20 + 1000) / 2);
  EXPECT_EQ(b[0], (200 + 10 + 20 + 3000) / 2);

  const std::int16_t three[3] = {7, 9, -3};
  ConvertChannels(three, 1, 3, 2, 1, a, b);
  EXPECT_EQ(a[0], (9 - 3) / 2);
  EXPECT_EQ(b[0], (7 - 3) / 2);

  // Stereo to mono: mix (truncating toward zero), left, right.
  const std::int16_t st[4] = {-3, 0, 30000, 30001};
  ConvertChannels(st, 2, 2, 1, 0, a, b);
  EXPECT_EQ(a[0], -1);
  EXPECT_EQ(a[1], 30000);  // summed in 32 bits, no overflow
  ConvertChannels(st, 2, 2, 1, 2, a, b);
  EXPECT_EQ(a[1], 30001);
  b[0] = 42;
  ConvertChannels(st, 1, 2, 1, 1, a, b);
  EXPECT_EQ(a[0], -3);
  EXPECT_EQ(b[0], 42);  // mono output leaves the second buffer alone

  // Loud 5.1 is clipped, never wrapped round to the opposite sign.
  const std::int16_t loud[6] = {30000, 0, 30000, 30000, 30000, 0};
  ConvertChannels(loud, 1, 6, 2, 1, a, b);
  EXPECT_EQ(a[0], 32767);
  const std::int16_t quiet[6] = {-30000, 0, -30000, -30000, -30000, 0};
  ConvertChannels(quiet, 1, 6, 2, 1, a, b);
  EXPECT_EQ(a[0], -32768);

  // Seven and eight channels mix as 5.1 and ignore the side pair.
  const std::int16_t eight[8] = {100, 200, 10, 20, 1000, 3000, 5, 5};
  ConvertChannels(eight, 1, 8, 2, 1, a, b);
  EXPECT_EQ(a[0], (100 + 10 + 20 + 1000) / 2);
}

// The encoder's PCM buffer is sized for the worst case (1.5 MB): a long
// conversion that takes each block soon after it comes keeps only a little
// of it in memory, and hands back every byte in order.
TEST(PcmBuffer, KeepsLittleInMemoryWhenBlocksAreTakenSoonAndLosesNothing) {
  PcmBuffer buffer;
  const std::uint8_t* base = buffer.front();
  std::vector<std::uint8_t> block(3202);
  std::uint32_t next = 0, expected = 0;
  for (int i = 0; i < 4000; ++i) {  // 12.8 MB through, about a minute of sound
    for (auto& b : block) b = static_cast<std::uint8_t>(next++ * 7);
    ASSERT_TRUE(buffer.Append(block.data(), static_cast<int>(block.size())));
    while (buffer.bytes() >= 3 * 3202) {  // up to three blocks wait
      for (int k = 0; k < 3202; ++k)
        ASSERT_EQ(buffer.front()[k], static_cast<std::uint8_t>(expected++ * 7)) << "byte " << expected;
      buffer.Consume(3202);
    }
  }
  const int resident = ResidentPages(base, kAudioBufferBytes);
  EXPECT_GE(resident, 1);
  EXPECT_LE(resident, 64) << "pages of 4 KiB, against 375 for the whole buffer";
}
