#include "settings/translate.h"

#include <cstdio>
#include <mutex>

#include "settings/settings.h"

namespace {
constexpr size_t kPiece = 1023;  // longer lines are read in pieces that count as lines

// The table lives for the run; translate may be called from the encoder's
// threads, so the first load and later reads go through the mutex.
struct LanguageState {
  std::mutex mutex;  // guards loaded and table
  bool loaded = false;
  std::map<std::string, std::string> table;
};

LanguageState& Language() {
  static LanguageState s;
  return s;
}

std::string ReadTextMode(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0 && bytes.size() < (16u << 20)) bytes.append(buf, n);
  std::fclose(f);
  // Text mode: CR LF reads as LF.
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text.push_back(bytes[i]);
  return text;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

void EndEntry(std::map<std::string, std::string>& table, const std::string* key, std::string& value) {
  if (!key) return;
  while (!value.empty() && (value.back() == '\n' || value.back() == '\f')) value.pop_back();
  table[*key] = value;
}
}  // namespace

std::map<std::string, std::string> ParseLanguageText(const std::string& text) {
  std::map<std::string, std::string> table;
  std::string key, value;
  bool inEntry = false;
  size_t pos = 0;
  while (pos < text.size()) {
    // One line as fgets with a 1024-byte buffer gives it.
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string::npos ? text.size() : nl + 1;
    if (end - pos > kPiece) end = pos + kPiece;
    std::string line = text.substr(pos, end - pos);
    pos = end;
    if (line[0] == '@') {
      if (inEntry) EndEntry(table, &key, value);
      key = line.substr(1);
      while (!key.empty() && IsSpace(key.back())) key.pop_back();
      value.clear();
      inEntry = true;
    } else if (inEntry) {
      value += "\n" + line;
    }
  }
  if (inEntry) EndEntry(table, &key, value);
  return table;
}

void LoadLanguageTable(const std::string& path) {
  LanguageState& s = Language();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.table = ParseLanguageText(ReadTextMode(path));
  s.loaded = true;
}

std::string translate(const std::string& text) {
  LanguageState& s = Language();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.loaded) {
    s.loaded = true;  // a missing file is not tried again
    s.table = ParseLanguageText(ReadTextMode(WorkingOrProgramFile("./lang_eng.txt")));
  }
  auto it = s.table.find(text);
  return it == s.table.end() ? text : it->second;
}
