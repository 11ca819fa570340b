#include "platform/dshow/packet_queue.h"

#include <algorithm>
#include <chrono>

void PacketQueue::Push(PacketPtr p, const std::function<bool()>& goOn) {
  std::unique_lock<std::mutex> lock(m_);
  while (!aborted_ && Busy()) {
    if (Full()) {
      cv_.wait_for(lock, std::chrono::milliseconds(20));
      continue;
    }
    lock.unlock();
    bool push = goOn();
    lock.lock();
    if (push) break;
    cv_.wait_for(lock, std::chrono::milliseconds(20));
  }
  if (aborted_) return;
  bytes_ += static_cast<std::size_t>(std::max(p->size, 0));
  q_.push_back(std::move(p));
  cv_.notify_all();
}

PacketQueue::Pop PacketQueue::Next(PacketPtr* out, int ms) {
  std::unique_lock<std::mutex> lock(m_);
  if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return aborted_ || ended_ || !q_.empty(); }))
    return Pop::kTimeout;
  if (aborted_) return Pop::kAborted;
  if (q_.empty()) return Pop::kEnd;
  *out = std::move(q_.front());
  q_.pop_front();
  bytes_ -= std::min(bytes_, static_cast<std::size_t>(std::max((*out)->size, 0)));
  cv_.notify_all();
  return Pop::kPacket;
}

void PacketQueue::End() {
  std::lock_guard<std::mutex> lock(m_);
  ended_ = true;
  cv_.notify_all();
}

void PacketQueue::Abort() {
  std::lock_guard<std::mutex> lock(m_);
  aborted_ = true;
  cv_.notify_all();
}

void PacketQueue::Reset() {
  std::lock_guard<std::mutex> lock(m_);
  q_.clear();
  bytes_ = 0;
  ended_ = false;
  aborted_ = false;
}

std::size_t PacketQueue::Size() {
  std::lock_guard<std::mutex> lock(m_);
  return q_.size();
}

bool PacketQueue::Ended() {
  std::lock_guard<std::mutex> lock(m_);
  return ended_;
}
