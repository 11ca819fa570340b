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

namespace {
// Bytes 0x80 to 0xFF that are not UTF-8 become U+DC80 to U+DCFF.
constexpr std::uint32_t kEscapedByte = 0xDC00;
}  // namespace

std::string WideToUtf8(const wchar_t* s) {
  std::string out;
  if (!s) return out;
  for (; *s; ++s) {
    auto c = static_cast<std::uint32_t>(*s);
    if (c >= kEscapedByte + 0x80 && c <= kEscapedByte + 0xFF) {
      out += static_cast<char>(c - kEscapedByte);  // a byte that was not UTF-8, as it was
    } else if (c < 0x80) {
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

namespace {
// The code point of the UTF-8 sequence at s[i] and its length in bytes, or
// length 0 when the bytes there are not well-formed UTF-8 (a stray or
// missing continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
std::uint32_t DecodeUtf8(const std::string& s, std::size_t i, int* length) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::uint32_t cp;
  int extra;
  std::uint32_t least;
  if (c < 0x80) { *length = 1; return c; }
  if ((c >> 5) == 6) { cp = c & 0x1F; extra = 1; least = 0x80; }
  else if ((c >> 4) == 14) { cp = c & 0x0F; extra = 2; least = 0x800; }
  else if ((c >> 3) == 30) { cp = c & 0x07; extra = 3; least = 0x10000; }
  else { *length = 0; return 0; }
  for (int k = 1; k <= extra; ++k) {
    if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) >> 6) != 2) { *length = 0; return 0; }
    cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  }
  const bool valid = cp >= least && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
  *length = valid ? extra + 1 : 0;
  return cp;
}
}  // namespace

std::wstring Utf8ToWide(const std::string& s) {
  std::wstring out;
  for (std::size_t i = 0; i < s.size();) {
    int length = 0;
    const std::uint32_t cp = DecodeUtf8(s, i, &length);
    if (length == 0) {
      // Linux names are bytes: one that is not UTF-8 travels as a lone
      // surrogate and comes back as the same byte, so such a file still opens.
      out += static_cast<wchar_t>(kEscapedByte + static_cast<unsigned char>(s[i]));
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(cp);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

std::string ShownText(const std::string& s) {
  std::wstring wide = Utf8ToWide(s);
  for (wchar_t& c : wide)
    if (static_cast<std::uint32_t>(c) >= kEscapedByte + 0x80 && static_cast<std::uint32_t>(c) <= kEscapedByte + 0xFF)
      c = static_cast<wchar_t>(c - kEscapedByte);
  return WideToUtf8(wide.c_str());
}
