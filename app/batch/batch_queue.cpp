#include "app/batch/batch_queue.h"

#include <algorithm>

BatchQueue::BatchQueue(const std::vector<std::string>& sources) {
  for (const std::string& s : sources) Add(s);
}

int BatchQueue::Add(const std::string& source) {
  std::lock_guard lock(mutex_);
  items_.push_back({nextId_, source});
  return nextId_++;
}

bool BatchQueue::Remove(int id) {
  std::lock_guard lock(mutex_);
  const auto it = std::find_if(items_.begin(), items_.end(), [id](const BatchItem& i) { return i.id == id; });
  if (it == items_.end()) return false;
  items_.erase(it);
  return true;
}

std::optional<BatchItem> BatchQueue::Take() {
  std::lock_guard lock(mutex_);
  if (items_.empty()) return std::nullopt;
  BatchItem next = std::move(items_.front());
  items_.pop_front();
  return next;
}

size_t BatchQueue::Waiting() const {
  std::lock_guard lock(mutex_);
  return items_.size();
}
