// Any language file reads without harm; keys carry no trailing white space
// and values no trailing line breaks.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/translate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto table = ParseLanguageText(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& [key, value] : table) {
    if (!key.empty() && (key.back() == ' ' || key.back() == '\n')) std::abort();
    if (!value.empty() && (value.back() == '\n' || value.back() == '\f')) std::abort();
  }
  return 0;
}
