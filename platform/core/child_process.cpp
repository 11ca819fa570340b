#include "platform/core/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

bool SucceedsInChildProcess(const std::function<bool()>& work, int timeoutMs) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    // What the child says as it fails (the C library's abort message) is no
    // message of the program's.
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, STDOUT_FILENO);
      dup2(quiet, STDERR_FILENO);
    }
    // _exit: nothing of the parent's (buffers, handlers, destructors) runs twice.
    _exit(work() ? 0 : 1);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return false;
  }
  return done == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
