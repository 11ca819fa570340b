#pragma once
// The system objects the engine uses beside the graph: the running object
// table (a debug registration of the graph) and the filter mapper, which
// lists the installed filters whose pins match given media types. The
// installed filters are the FFmpeg decoders this build can open.
#include "platform/dshow/dshow.h"

using VARTYPE = WORD;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_BSTR = 8;
struct VARIANT {
  VARTYPE vt;
  BSTR bstrVal;
};
void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);

struct IErrorLog;
struct IBindCtx;

struct IMoniker : IUnknown {
  // IID_IPropertyBag gives the filter's "FriendlyName" and "CLSID".
  virtual HRESULT BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppvObj) = 0;
  virtual HRESULT GetDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR* ppszDisplayName) = 0;
};
struct IEnumMoniker : IUnknown {
  virtual HRESULT Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
};
struct IPropertyBag : IUnknown {
  virtual HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) = 0;
};
DS_GUID(IID_IMoniker, 0x0000000f, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
DS_GUID(IID_IPropertyBag, 0x55272A00, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51)

inline constexpr DWORD ROTFLAGS_REGISTRATIONKEEPSALIVE = 0x1;
struct IRunningObjectTable : IUnknown {
  virtual HRESULT Register(DWORD grfFlags, IUnknown* punkObject, IMoniker* pmkObjectName, DWORD* pdwRegister) = 0;
  virtual HRESULT Revoke(DWORD dwRegister) = 0;
  virtual HRESULT IsRunning(IMoniker* pmkObjectName) = 0;
  virtual HRESULT GetObject(IMoniker* pmkObjectName, IUnknown** ppunkObject) = 0;
};
HRESULT GetRunningObjectTable(DWORD reserved, IRunningObjectTable** pprot);
HRESULT CreateItemMoniker(LPCOLESTR lpszDelim, LPCOLESTR lpszItem, IMoniker** ppmk);

inline constexpr DWORD MERIT_PREFERRED = 0x800000;
inline constexpr DWORD MERIT_NORMAL = 0x600000;
inline constexpr DWORD MERIT_UNLIKELY = 0x400000;
inline constexpr DWORD MERIT_DO_NOT_USE = 0x200000;

struct REGPINMEDIUM {
  CLSID clsMedium;
  DWORD dw1, dw2;
};

struct IFilterMapper2 : IUnknown {
  // pInputTypes / pOutputTypes: pairs of (major type, subtype).
  virtual HRESULT EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD dwFlags, BOOL bExactMatch, DWORD dwMerit,
                                      BOOL bInputNeeded, DWORD cInputTypes, const GUID* pInputTypes,
                                      const REGPINMEDIUM* pMedIn, const CLSID* pPinCategoryIn, BOOL bRender,
                                      BOOL bOutputNeeded, DWORD cOutputTypes, const GUID* pOutputTypes,
                                      const REGPINMEDIUM* pMedOut, const CLSID* pPinCategoryOut) = 0;
};
DS_GUID(IID_IFilterMapper2, 0xb79bb0b0, 0x33c1, 0x11d1, 0xab, 0xe1, 0x00, 0xa0, 0xc9, 0x05, 0xf3, 0x75)
extern const CLSID CLSID_FilterMapper2;
