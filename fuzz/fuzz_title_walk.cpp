// Runs the title reader and writer over arbitrary bytes saved as an ".mp4"
// file, and checks that the writer either changes nothing or leaves a title
// the reader gives back, that writing that title again changes no byte, and
// that no title read is longer than a stored one may be.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "core/diag_log.h"
#include "transfer/title_patch.h"
#include "transfer/utf16_text.h"

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

// The first byte picks the new title: its length in characters (shorter,
// equal or longer than most stored ones, up to beyond what is stored) and
// whether they lie outside the basic plane (two UTF-16 units each).
std::u16string TitleFor(std::uint8_t pick) {
  const std::size_t chars = pick & 0x3F ? (pick & 0x3F) * 5 : 0;
  const std::u16string one = pick & 0x80 ? std::u16string(u"\U0001F3AC") : std::u16string(u"z");
  std::u16string title;
  for (std::size_t i = 0; i < chars; ++i) title += one;
  return title;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::u16string title = TitleFor(data[0]);
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = ScratchPath();
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const std::string read = ReadMp4Title(path);
  if (Utf16CharacterCount(Utf8ToUtf16(read)) > kMaxTitleChars) std::abort();
  const TitleWriteResult result = WriteMp4Title(path, title);
  if (result == TitleWriteResult::Written) {
    const std::u16string stored = title.empty() ? u" " : Utf16FirstCharacters(title, kMaxTitleChars);
    const std::string expected = Utf16ToUtf8(stored, stored.size() * 3);
    if (ReadMp4Title(path) != expected) std::abort();
    const std::string written = ReadAll(path);
    if (WriteMp4Title(path, stored) != TitleWriteResult::Written || ReadAll(path) != written) std::abort();
  } else if (ReadAll(path) != bytes) {
    std::abort();
  }
  std::remove(path.c_str());
  return 0;
}
