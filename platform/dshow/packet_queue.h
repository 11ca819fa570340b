#pragma once
// The hand-over of compressed packets from the file source's demux thread
// to a decoder's streaming thread.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/com/com.h"

extern "C" {
#include <libavcodec/packet.h>
}

struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

class PacketQueue {
 public:
  static constexpr std::size_t kSoftLimit = 48;   // demuxer waits beyond this,
  // or beyond kSoftMinimum packets once they fill kSoftBytes (large HD
  // pictures: a second of them would hold megabytes the decoder does not
  // need yet)...
  static constexpr std::size_t kSoftMinimum = 8;
  static constexpr std::size_t kSoftBytes = 512u << 10;
  static constexpr std::size_t kHardLimit = 2000; // ...and always beyond this,
  // once the packets also fill this much: small packets (sound) may queue up
  // to an hour, so that the demuxer reaches the end of a file whose pictures
  // ended long before (and their stream's end goes out).
  static constexpr std::size_t kHardBytes = 64u << 20;

  // Waits (in 20 ms steps) while the queue is full, unless goOn() says to
  // push anyway.
  void Push(PacketPtr p, const std::function<bool()>& goOn);
  enum class Pop { kPacket, kEnd, kTimeout, kAborted };
  // Waits up to ms for a packet.
  Pop Next(PacketPtr* out, int ms);
  void End();
  void Abort();
  void Reset();
  std::size_t Size();
  bool Ended();

 private:
  bool Busy() const { return q_.size() >= kSoftLimit || (q_.size() >= kSoftMinimum && bytes_ >= kSoftBytes); }
  bool Full() const { return q_.size() >= kHardLimit && bytes_ >= kHardBytes; }

  std::mutex m_;  // guards q_, bytes_, ended_, aborted_
  std::condition_variable cv_;
  std::deque<PacketPtr> q_;
  std::size_t bytes_ = 0;  // of the packets in q_
  bool ended_ = false;
  bool aborted_ = false;
};

// Private interface of a source pin, found by QueryInterface.
struct AVStream;
struct IStreamPacketSource {
  virtual const AVStream* Stream() const = 0;
  virtual REFERENCE_TIME FileStartTime() const = 0;  // 100-ns units
  virtual PacketQueue& Queue() = 0;

 protected:
  ~IStreamPacketSource() = default;
};
inline constexpr IID IID_IStreamPacketSource = {0x6d2f0a13, 0x5b1e, 0x4c2a, {0x9e, 0x61, 0x43, 0x4f, 0x52, 0x56, 0x41, 0x4e}};
