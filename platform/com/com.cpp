#include "platform/com/com.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <vector>

namespace {
struct ClassEntry {
  CLSID clsid;
  ClassFactoryFn create;
};
struct ClassRegistry {
  std::mutex mutex;  // guards entries
  std::vector<ClassEntry> entries;
};
ClassRegistry& Registry() {
  static ClassRegistry r;
  return r;
}
}  // namespace

std::string GuidToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return buf;
}

bool RegisterComClass(REFCLSID clsid, ClassFactoryFn create) {
  auto& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (auto& e : r.entries)
    if (e.clsid == clsid) {
      e.create = create;
      return true;
    }
  r.entries.push_back({clsid, create});
  return true;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ClassFactoryFn create = nullptr;
  {
    auto& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& e : r.entries)
      if (e.clsid == clsid) create = e.create;
  }
  if (!create) return REGDB_E_CLASSNOTREG;
  if (outer) return CLASS_E_NOAGGREGATION;
  return create(outer, riid, ppv);
}

HRESULT CoInitializeEx(void*, DWORD) { return S_OK; }
HRESULT CoInitialize(void*) { return S_OK; }
void CoUninitialize() {}

void* CoTaskMemAlloc(std::size_t bytes) { return std::malloc(bytes ? bytes : 1); }
void CoTaskMemFree(void* p) { std::free(p); }

BSTR SysAllocString(const wchar_t* s) {
  if (!s) return nullptr;
  std::size_t n = std::wcslen(s);
  auto* out = static_cast<wchar_t*>(std::malloc((n + 1) * sizeof(wchar_t)));
  if (out) std::wmemcpy(out, s, n + 1);
  return out;
}
void SysFreeString(BSTR s) { std::free(s); }

std::string WideToUtf8(const wchar_t* s) {
  std::string out;
  if (!s) return out;
  for (; *s; ++s) {
    auto c = static_cast<std::uint32_t>(*s);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring Utf8ToWide(const std::string& s) {
  std::wstring out;
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c >> 5) == 6) { cp = c & 0x1F; extra = 1; }
    else if ((c >> 4) == 14) { cp = c & 0x0F; extra = 2; }
    else if ((c >> 3) == 30) { cp = c & 0x07; extra = 3; }
    else { cp = 0xFFFD; extra = 0; }
    ++i;
    for (int k = 0; k < extra; ++k, ++i) {
      if (i >= s.size() || (static_cast<unsigned char>(s[i]) >> 6) != 2) { cp = 0xFFFD; break; }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    }
    out += static_cast<wchar_t>(cp);
  }
  return out;
}
