#pragma once
// A call that may bring its process down, made in a child process of its
// own: whatever it does to its memory stays there.
#include <functional>

// Forks, runs work in the child and waits up to timeoutMs for it; true when
// work returned true there. A child that crashes, hangs or cannot be made
// counts as false; what it writes to standard output and error is dropped.
// work must not take a lock another thread of this process may hold (the
// child has only the calling thread), nor start threads.
bool SucceedsInChildProcess(const std::function<bool()>& work, int timeoutMs);
