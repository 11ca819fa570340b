#pragma once
// A minimal COM-style core: GUIDs, HRESULTs with their Windows values,
// reference-counted interfaces found by IID, and CoCreateInstance over a
// process-wide class registry. COM initialisation is a no-op.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/core/win_types.h"

using HRESULT = LONG;
using ULONG = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WCHAR = wchar_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCOLESTR = const wchar_t*;
using LPOLESTR = wchar_t*;
using BSTR = wchar_t*;
using LPVOID = void*;

#define STDMETHODCALLTYPE
#define STDMETHODIMP HRESULT
#define STDMETHODIMP_(t) t

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;
inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string GuidToString(const GUID& g);

#define MAKE_HRESULT_CODE(v) static_cast<HRESULT>(static_cast<std::uint32_t>(v))
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT NOERROR = 0;
inline constexpr HRESULT E_NOTIMPL = MAKE_HRESULT_CODE(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MAKE_HRESULT_CODE(0x80004002u);
inline constexpr HRESULT E_POINTER = MAKE_HRESULT_CODE(0x80004003u);
inline constexpr HRESULT E_ABORT = MAKE_HRESULT_CODE(0x80004004u);
inline constexpr HRESULT E_FAIL = MAKE_HRESULT_CODE(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MAKE_HRESULT_CODE(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = MAKE_HRESULT_CODE(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MAKE_HRESULT_CODE(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MAKE_HRESULT_CODE(0x80040110u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MAKE_HRESULT_CODE(0x80040154u);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
inline constexpr HRESULT HRESULT_FILE_NOT_FOUND = MAKE_HRESULT_CODE(0x80070002u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Creates an instance of a registered class; outer is the aggregating
// object (none of our classes aggregate, so a non-null outer fails).
using ClassFactoryFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// Makes clsid creatable by CoCreateInstance. Returns true so it can seed a
// static initialiser in the file that defines the class identifier.
bool RegisterComClass(REFCLSID clsid, ClassFactoryFn create);

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);
HRESULT CoInitializeEx(void* reserved, DWORD flags);
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

void* CoTaskMemAlloc(std::size_t bytes);
void CoTaskMemFree(void* p);

// Strings handed across interfaces (VARIANT text, filter names).
BSTR SysAllocString(const wchar_t* s);
void SysFreeString(BSTR s);

// Wide <-> narrow for names; the program's ANSI code page is UTF-8 here.
// Bytes that are not UTF-8 (a file name in another encoding) survive the
// round trip: any byte string comes back as it went.
std::string WideToUtf8(const wchar_t* s);
std::wstring Utf8ToWide(const std::string& s);
// s as UTF-8 text to show: well-formed UTF-8 stays as it is, any other byte
// is read as the Latin-1 character of that value (the usual older encoding
// of file names).
std::string ShownText(const std::string& s);

// A small owning interface pointer.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(T* p) : p_(p) {  // NOLINT: takes a new reference
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ~ComPtr() { Reset(); }
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  void Reset() {
    if (p_) {
      T* p = p_;
      p_ = nullptr;
      p->Release();
    }
  }
  // Takes over a reference the caller already owns.
  void Attach(T* p) {
    Reset();
    p_ = p;
  }
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  T** operator&() {
    Reset();
    return &p_;
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};
