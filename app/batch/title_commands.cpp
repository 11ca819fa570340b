#include "app/batch/title_commands.h"

#include <cstdio>

#include "transfer/title_patch.h"
#include "transfer/utf16_text.h"

namespace {
// Why a file cannot carry a title, or empty when it may.
std::string TitleFileProblem(const std::string& file) {
  if (!IsMp4Name(file, "mp4")) return "only files named .mp4 carry a PSP title";
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return "cannot be opened";
  std::fclose(f);
  return "";
}
}  // namespace

int ShowTitles(const std::vector<std::string>& files, BatchConsole& console) {
  int status = 0;
  for (const std::string& file : files) {
    if (const std::string problem = TitleFileProblem(file); !problem.empty()) {
      console.Error(file + ": " + problem);
      status = 1;
      continue;
    }
    // An empty title is stored as " ": empty text means there is none.
    const std::string title = ReadMp4Title(file);
    if (title.empty()) {
      console.Error(file + ": has no PSP title");
      status = 1;
      continue;
    }
    if (files.size() == 1) std::printf("%s\n", title.c_str());
    else std::printf("%s: %s\n", file.c_str(), title.c_str());
  }
  std::fflush(stdout);
  return status;
}

int SetTitle(const std::string& title, const std::string& file, BatchConsole& console) {
  if (const std::string problem = TitleFileProblem(file); !problem.empty()) {
    console.Error(file + ": " + problem);
    return 1;
  }
  const std::u16string units = Utf8ToUtf16(title);
  if (Utf16CharacterCount(units) > kMaxTitleChars)
    console.Error(file + ": the title is cut to its first " + std::to_string(kMaxTitleChars) + " characters");
  if (const std::string problem = TitleWriteProblem(WriteMp4Title(file, units)); !problem.empty()) {
    console.Error(file + ": " + problem);
    return 1;
  }
  return 0;
}
