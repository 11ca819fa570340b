#include "settings/file_number.h"

#include <cstdlib>
#include <string>

#include "platform/registry/registry.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {
constexpr int kLastNumber = 99999;

// Set once the store refused a number: from then on the number counted in
// memory is the one that holds. User-interface thread only.
bool& CountingInMemory() {
  static bool inMemory = false;
  return inMemory;
}

int Normalised(int n) { return n >= 1 && n <= kLastNumber ? n : 1; }

int StoredNumber(const std::string& text) {
  if (text.empty()) return AppSettings().fileNumber;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  return v >= 1 && v <= kLastNumber ? static_cast<int>(v) : 1;
}
}  // namespace

int NextFileNumber(int n) { return n >= 1 && n < kLastNumber ? n + 1 : 1; }

TakenFileNumber TakeFileNumber(const std::function<bool(int)>& inUse) {
  TakenFileNumber taken;
  int next = 0;
  const LONG rc = UpdateSettingText("OutputConfig", "file_number", [&](const std::string& stored) {
    int n = Normalised(CountingInMemory() ? AppSettings().fileNumber : StoredNumber(stored));
    for (int tries = 0; tries < kLastNumber && inUse(n); ++tries) n = NextFileNumber(n);
    if (inUse(n)) return stored;
    taken.number = n;
    next = NextFileNumber(n);
    return std::to_string(next);
  });
  if (taken.number < 0) return taken;
  taken.saved = rc == ERROR_SUCCESS;
  if (!taken.saved) CountingInMemory() = true;
  AppSettings().fileNumber = next;
  return taken;
}

void ReturnFileNumber(int number) {
  const int after = NextFileNumber(number);
  if (AppSettings().fileNumber == after) AppSettings().fileNumber = number;
  UpdateSettingText("OutputConfig", "file_number", [&](const std::string& stored) {
    return !stored.empty() && std::strtol(stored.c_str(), nullptr, 10) == after ? std::to_string(number) : stored;
  });
}
