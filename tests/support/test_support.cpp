#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

TempDir::TempDir() {
  const char* base = std::getenv("CORVANE_TEST_TMP");
  std::string root = (base && *base) ? base : "/tmp";
  std::filesystem::create_directories(root);
  std::string tmpl = root + "/corvane-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed in " + root);
  path_ = buf.data();
}

TempDir::~TempDir() {
  if (std::getenv("CORVANE_KEEP_TMP")) return;  // left for a look after a failure
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScriptedMessageBox::ScriptedMessageBox() { SetMessageDlgHandler(this); }
ScriptedMessageBox::~ScriptedMessageBox() { SetMessageDlgHandler(nullptr); }

int ScriptedMessageBox::Show(const std::string& text, MsgKind kind, unsigned buttons) {
  texts.push_back(text);
  kinds.push_back(kind);
  if (!answers_.empty()) {
    int a = answers_.front();
    answers_.pop_front();
    return a;
  }
  if (buttons & mbNo) return mrNo;
  if (buttons & mbCancel) return mrCancel;
  return mrOk;
}

void ScriptedMessageBox::SystemBox(const std::string& text, const std::string& caption) {
  texts.push_back(caption + ": " + text);
  kinds.push_back(MsgKind::Error);
}

std::string RunCommand(const std::string& cmd, int* exitCode) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) {
    if (exitCode) *exitCode = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
  int status = pclose(p);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string PacketChecksums(const std::string& path) {
  return RunCommand("ffmpeg -nostdin -v error -i '" + path + "' -map 0 -c copy -f framemd5 - 2>&1");
}

int ResidentPages(const void* p, std::size_t bytes) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = reinterpret_cast<std::uintptr_t>(p) & ~(page - 1);
  const std::size_t length = bytes + (reinterpret_cast<std::uintptr_t>(p) - from);
  std::vector<unsigned char> in((length + page - 1) / page);
  if (mincore(reinterpret_cast<void*>(from), length, in.data()) != 0) return -1;
  return static_cast<int>(std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; }));
}
