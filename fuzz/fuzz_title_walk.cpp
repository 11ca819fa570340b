// Runs the title reader and writer over arbitrary bytes saved as an ".mp4"
// file, and checks that the writer either changes nothing or leaves a title
// the reader gives back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "app/core/diag_log.h"
#include "transfer/title_patch.h"

namespace {
std::string ScratchPath() {
  static std::string path = [] {
    char tmpl[] = "/tmp/fuzz_title_walk-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) std::abort();
    SetLogFilePath("/dev/null");
    return std::string(dir) + "/input.mp4";
  }();
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the new title's length: shorter, equal or longer.
  const std::size_t titleLength = data[0] % 40;
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = ScratchPath();
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  (void)ReadMp4Title(path);
  const std::u16string title(titleLength, u'z');
  const TitleWriteResult result = WriteMp4Title(path, title);
  if (result == TitleWriteResult::Written) {
    const std::string expected = titleLength == 0 ? " " : std::string(titleLength, 'z');
    if (ReadMp4Title(path) != expected) std::abort();
  } else if (ReadAll(path) != bytes) {
    std::abort();
  }
  std::remove(path.c_str());
  return 0;
}
