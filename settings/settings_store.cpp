#include "settings/settings_store.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/registry/registry.h"

namespace {
constexpr size_t kValueBytes = 512;  // 511 characters and the terminator

// The text read's shared buffer. Settings are read on the
// user-interface thread only; the mutex keeps a stray reader from another
// thread from tearing it while it is filled.
struct TextReadState {
  std::mutex mutex;  // guards buffer while it is filled
  char buffer[kValueBytes] = {};
};

TextReadState& TextRead() {
  static TextReadState s;
  return s;
}

std::string FullPath(const char* path) { return std::string(SettingsRootPath()) + (path ? path : ""); }

// Reads the default value of root + path; false when it cannot be read or
// does not fit the 512-byte value buffer.
bool QueryText(const char* path, char (&out)[kValueBytes]) {
  LONG len = static_cast<LONG>(sizeof(out));
  if (RegQueryValueA(HKEY_CURRENT_USER, FullPath(path).c_str(), out, &len) != ERROR_SUCCESS) return false;
  out[sizeof(out) - 1] = '\0';
  return true;
}

LONG WriteRaw(const char* group, const char* name, const char* text) {
  std::string groupPath = FullPath(group);
  HKEY key = nullptr;
  LONG rc = RegCreateKeyA(HKEY_CURRENT_USER, groupPath.c_str(), &key);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueA(key, name, REG_SZ, text, static_cast<DWORD>(std::strlen(text)));
  RegCloseKey(key);
  return rc;
}
}  // namespace

const char* SettingsRootPath() {
  static char root[256];
  static std::once_flag once;
  std::call_once(once, [] {
    std::snprintf(root, sizeof(root), "Software\\%s\\%s\\", "Corvane", "Corvane Video Converter");
  });
  return root;
}

int ReadSettingInt(const char* path, int defaultValue) {
  char text[kValueBytes];
  if (!QueryText(path, text)) return defaultValue;
  // Leading sign and digits; no digits gives 0. Out-of-range numbers are
  // clamped instead of wrapping.
  long v = std::strtol(text, nullptr, 10);
  if (v > 2147483647L) v = 2147483647L;
  if (v < -2147483647L - 1) v = -2147483647L - 1;
  return static_cast<int>(v);
}

double ReadSettingReal(const char* path, double defaultValue) {
  char text[kValueBytes];
  if (!QueryText(path, text)) return defaultValue;
  // Locale-independent, so that a program running under a locale with a
  // decimal comma reads what another wrote.
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
  if (*p == '+') ++p;
  double v = 0.0;
  std::from_chars(p, text + std::strlen(text), v);
  return v;
}

const char* ReadSettingText(const char* path, const char* defaultValue) {
  TextReadState& s = TextRead();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!QueryText(path, s.buffer)) return defaultValue;
  return s.buffer;
}

LONG WriteSettingInt(const char* group, const char* name, int value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%d", value);
  return WriteRaw(group, name, text);
}

LONG WriteSettingReal(const char* group, const char* name, double value) {
  // "%.10lf" in the C locale whatever the process locale is.
  char text[kValueBytes];
  auto res = std::to_chars(text, text + sizeof(text) - 1, value, std::chars_format::fixed, 10);
  if (res.ec != std::errc()) return ERROR_INVALID_PARAMETER;
  *res.ptr = '\0';
  return WriteRaw(group, name, text);
}

LONG WriteSettingText(const char* group, const char* name, const char* text) {
  return WriteRaw(group, name, text ? text : "");
}

LONG DeleteSettingKey(const char* path) { return RegDeleteKeyA(HKEY_CURRENT_USER, FullPath(path).c_str()); }

LONG UpdateSettingText(const char* group, const char* name,
                       const std::function<std::string(const std::string&)>& update) {
  std::string path = FullPath(group);
  if (path.back() != '\\') path += '\\';
  path += name ? name : "";
  return RegUpdateValueA(HKEY_CURRENT_USER, path.c_str(), update);
}
