#pragma once
// The files of a batch waiting their turn. The thread that converts takes
// them one at a time; a front end adds and removes them meanwhile.
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct BatchItem {
  int id = -1;           // given by the queue, unique within it
  std::string source;    // absolute path
};

class BatchQueue {
 public:
  BatchQueue() = default;
  explicit BatchQueue(const std::vector<std::string>& sources);

  // Puts source at the end; returns its id.
  int Add(const std::string& source);
  // Takes a waiting file out; false when it is not waiting (taken already).
  bool Remove(int id);
  // The next waiting file, taken out of the queue, or none.
  std::optional<BatchItem> Take();
  // Files still waiting.
  size_t Waiting() const;

 private:
  mutable std::mutex mutex_;  // guards items_ and nextId_
  std::deque<BatchItem> items_;
  int nextId_ = 0;
};
