#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include "core/diag_log.h"
#include "platform/sysinfo/sysinfo.h"

extern char** environ;

namespace {
std::mutex g_commandMutex;  // guards g_command
std::vector<std::string> g_command;

// How long the power-off request may take before it counts as refused.
constexpr auto kPowerOffTimeout = std::chrono::seconds(30);
}  // namespace

std::vector<std::string> DefaultPowerOffCommand() {
  return {"systemctl", "poweroff", "--no-ask-password"};
}

void SetPowerOffCommand(std::vector<std::string> argv) {
  std::lock_guard<std::mutex> lock(g_commandMutex);
  g_command = std::move(argv);
}

std::vector<std::string> PowerOffCommand() {
  std::lock_guard<std::mutex> lock(g_commandMutex);
  return g_command.empty() ? DefaultPowerOffCommand() : g_command;
}

bool RequestPowerOff() {
  std::vector<std::string> command = PowerOffCommand();
  std::vector<char*> argv;
  for (std::string& a : command) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    WriteLog("Power-off command %s could not be started (error %d)", argv[0], rc);
    return false;
  }
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + kPowerOffTimeout;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      WriteLog("Power-off command %s did not finish in time", argv[0]);
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
