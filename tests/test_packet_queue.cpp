// The hand-over queue between the demuxer and a decoder: when the demuxer
// is asked whether to go on.
#include "platform/dshow/packet_queue.h"

#include <gtest/gtest.h>

namespace {
PacketPtr PacketOf(int bytes) {
  PacketPtr p(av_packet_alloc());
  if (p) av_new_packet(p.get(), bytes);
  return p;
}

// Packets of bytes each pushed until the queue first asks (the answer is to
// go on); returns how many it held then.
size_t HeldWhenFirstAsked(int bytes) {
  PacketQueue q;
  bool asked = false;
  for (int i = 0; i < 100 && !asked; ++i) q.Push(PacketOf(bytes), [&] { return asked = true; });
  return q.Size() - 1;
}
}  // namespace

TEST(PacketQueue, HoldsFortyEightSmallPacketsButOnlyHalfAMegabyteOfLargeOnes) {
  EXPECT_EQ(HeldWhenFirstAsked(1000), 48u) << "sound, small pictures";
  EXPECT_EQ(HeldWhenFirstAsked(30 * 1024), 18u) << "1080p pictures: the first 18 reach 512 KiB";
  EXPECT_EQ(HeldWhenFirstAsked(64 * 1024), 8u);
  EXPECT_EQ(HeldWhenFirstAsked(300 * 1024), 8u) << "never fewer than eight";

  // A packet taken makes room again.
  PacketQueue q;
  int asked = 0;
  for (int i = 0; i < 9; ++i) q.Push(PacketOf(100 * 1024), [&] { return ++asked > 0; });
  EXPECT_EQ(asked, 1);
  PacketPtr out;
  ASSERT_EQ(q.Next(&out, 0), PacketQueue::Pop::kPacket);
  ASSERT_EQ(q.Next(&out, 0), PacketQueue::Pop::kPacket);
  q.Push(PacketOf(100 * 1024), [&] { return ++asked > 0; });
  EXPECT_EQ(asked, 1);
}
