#include "platform/dshow/system_objects.h"

#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

const CLSID CLSID_FilterMapper2 = {0xcda42200, 0xbd88, 0x11d0, {0xbd, 0x4e, 0x00, 0xa0, 0xc9, 0x11, 0xce, 0x86}};

void VariantInit(VARIANT* v) {
  if (v) *v = VARIANT{VT_EMPTY, nullptr};
}
HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_POINTER;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  VariantInit(v);
  return S_OK;
}

namespace {

// Reference counting for the small objects below.
template <class Base>
class Counted : public Base {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || Matches(riid)) return GetInterface(this, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

 protected:
  virtual ~Counted() = default;
  virtual bool Matches(REFIID riid) = 0;

 private:
  std::atomic<ULONG> refs_{0};
};

struct FilterEntry {
  std::wstring name;
  CLSID clsid;
  DWORD merit;
  std::vector<std::pair<GUID, GUID>> inputs, outputs;
};

class PropertyBag : public Counted<IPropertyBag> {
 public:
  explicit PropertyBag(FilterEntry e) : e_(std::move(e)) {}
  HRESULT Read(LPCOLESTR name, VARIANT* v, IErrorLog*) override {
    if (!name || !v) return E_POINTER;
    std::wstring n = name;
    std::wstring value;
    if (n == L"FriendlyName") value = e_.name;
    else if (n == L"CLSID") value = Utf8ToWide(GuidToString(e_.clsid));
    else return E_INVALIDARG;
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(value.c_str());
    return v->bstrVal ? S_OK : E_OUTOFMEMORY;
  }

 protected:
  bool Matches(REFIID riid) override { return riid == IID_IPropertyBag; }

 private:
  FilterEntry e_;
};

class Moniker : public Counted<IMoniker> {
 public:
  Moniker(std::wstring display, const FilterEntry* entry) : display_(std::move(display)) {
    if (entry) entry_ = *entry, hasEntry_ = true;
  }
  HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!hasEntry_ || !(riid == IID_IPropertyBag)) return E_NOINTERFACE;
    return GetInterface(new PropertyBag(entry_), ppv);
  }
  HRESULT GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* out) override {
    if (!out) return E_POINTER;
    *out = static_cast<LPOLESTR>(CoTaskMemAlloc((display_.size() + 1) * sizeof(wchar_t)));
    if (!*out) return E_OUTOFMEMORY;
    std::copy(display_.c_str(), display_.c_str() + display_.size() + 1, *out);
    return S_OK;
  }
  const std::wstring& Display() const { return display_; }

 protected:
  bool Matches(REFIID riid) override { return riid == IID_IMoniker; }

 private:
  std::wstring display_;
  FilterEntry entry_;
  bool hasEntry_ = false;
};

class MonikerEnum : public Counted<IEnumMoniker> {
 public:
  explicit MonikerEnum(std::vector<FilterEntry> e) : e_(std::move(e)) {}
  HRESULT Next(ULONG c, IMoniker** out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    ULONG n = 0;
    for (; n < c && pos_ < e_.size(); ++n, ++pos_) {
      out[n] = new Moniker(L"@device:sw:" + e_[pos_].name, &e_[pos_]);
      out[n]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == c ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG c) override {
    pos_ += c;
    return pos_ <= e_.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }

 protected:
  bool Matches(REFIID) override { return false; }

 private:
  std::vector<FilterEntry> e_;
  std::size_t pos_ = 0;
};

// The decoders this build can open, registered as DirectShow would list
// them: MPEG-2 video and AC-3 audio also take DVD packs.
std::vector<FilterEntry> InstalledFilters() {
  std::vector<FilterEntry> list;
  const CLSID base = {0x6d2f0a20, 0x5b1e, 0x4c2a, {0x9e, 0x61, 0x43, 0x4f, 0x52, 0x56, 0x41, 0x4e}};
  if (avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO)) {
    FilterEntry e{L"FFmpeg MPEG-2 Video Decoder", base, MERIT_NORMAL, {}, {}};
    e.inputs = {{MEDIATYPE_DVD_ENCRYPTED_PACK, MEDIASUBTYPE_MPEG2_VIDEO}, {MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO}};
    e.outputs = {{MEDIATYPE_Video, MEDIASUBTYPE_YUY2}};
    list.push_back(e);
  }
  if (avcodec_find_decoder(AV_CODEC_ID_AC3)) {
    FilterEntry e{L"FFmpeg AC-3 Audio Decoder", base, MERIT_NORMAL, {}, {}};
    e.clsid.Data1 += 1;
    e.inputs = {{MEDIATYPE_DVD_ENCRYPTED_PACK, MEDIASUBTYPE_DOLBY_AC3}, {MEDIATYPE_Audio, MEDIASUBTYPE_DOLBY_AC3}};
    e.outputs = {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}};
    list.push_back(e);
  }
  return list;
}

bool PinsMatch(const std::vector<std::pair<GUID, GUID>>& pins, DWORD count, const GUID* types, bool exact) {
  if (count == 0) return true;
  if (!types) return false;
  for (const auto& p : pins)
    for (DWORD i = 0; i < count; ++i) {
      const GUID& major = types[2 * i];
      const GUID& sub = types[2 * i + 1];
      const bool majorOk = p.first == major || (!exact && major == GUID_NULL);
      const bool subOk = p.second == sub || (!exact && sub == GUID_NULL);
      if (majorOk && subOk) return true;
    }
  return false;
}

class FilterMapper : public CUnknown, public IFilterMapper2 {
 public:
  FilterMapper() : CUnknown("filter mapper", nullptr) {}
  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IFilterMapper2) return GetInterface(static_cast<IFilterMapper2*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD, BOOL exact, DWORD merit, BOOL inputNeeded,
                              DWORD cIn, const GUID* inTypes, const REGPINMEDIUM*, const CLSID*, BOOL,
                              BOOL outputNeeded, DWORD cOut, const GUID* outTypes, const REGPINMEDIUM*,
                              const CLSID*) override {
    if (!ppEnum) return E_POINTER;
    std::vector<FilterEntry> found;
    for (auto& e : InstalledFilters()) {
      if (e.merit < merit) continue;
      if (inputNeeded && e.inputs.empty()) continue;
      if (outputNeeded && e.outputs.empty()) continue;
      if (!PinsMatch(e.inputs, cIn, inTypes, exact) || !PinsMatch(e.outputs, cOut, outTypes, exact)) continue;
      found.push_back(e);
    }
    *ppEnum = new MonikerEnum(std::move(found));
    (*ppEnum)->AddRef();
    return S_OK;
  }
};

class RunningObjectTable : public Counted<IRunningObjectTable> {
 public:
  HRESULT Register(DWORD, IUnknown* obj, IMoniker* name, DWORD* cookie) override {
    if (!obj || !name || !cookie) return E_INVALIDARG;
    auto* m = dynamic_cast<Moniker*>(name);
    std::lock_guard<std::mutex> lock(m_);
    *cookie = next_++;
    entries_.push_back({*cookie, ComPtr<IUnknown>(obj), m ? m->Display() : L""});
    return S_OK;
  }
  HRESULT Revoke(DWORD cookie) override {
    std::lock_guard<std::mutex> lock(m_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->cookie == cookie) {
        entries_.erase(it);
        return S_OK;
      }
    return E_INVALIDARG;
  }
  HRESULT IsRunning(IMoniker* name) override {
    IUnknown* u = nullptr;
    HRESULT hr = GetObject(name, &u);
    if (u) u->Release();
    return hr == S_OK ? S_OK : S_FALSE;
  }
  HRESULT GetObject(IMoniker* name, IUnknown** out) override {
    if (!name || !out) return E_POINTER;
    *out = nullptr;
    auto* m = dynamic_cast<Moniker*>(name);
    std::lock_guard<std::mutex> lock(m_);
    for (auto& e : entries_)
      if (m && e.name == m->Display()) {
        *out = e.object.get();
        (*out)->AddRef();
        return S_OK;
      }
    return MAKE_HRESULT_CODE(0x800401E3u);  // MK_E_UNAVAILABLE
  }

 protected:
  bool Matches(REFIID) override { return false; }

 private:
  struct Entry {
    DWORD cookie;
    ComPtr<IUnknown> object;
    std::wstring name;
  };
  std::mutex m_;  // guards entries_ and next_
  std::vector<Entry> entries_;
  DWORD next_ = 1;
};

HRESULT CreateMapper(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  return QueryNewObject(new FilterMapper(), riid, ppv);
}
const bool registered = RegisterComClass(CLSID_FilterMapper2, CreateMapper);

}  // namespace

HRESULT GetRunningObjectTable(DWORD, IRunningObjectTable** pprot) {
  if (!pprot) return E_POINTER;
  static RunningObjectTable* table = [] {
    auto* t = new RunningObjectTable();
    t->AddRef();  // lives for the process
    return t;
  }();
  *pprot = table;
  table->AddRef();
  return S_OK;
}

HRESULT CreateItemMoniker(LPCOLESTR delim, LPCOLESTR item, IMoniker** ppmk) {
  if (!item || !ppmk) return E_POINTER;
  *ppmk = new Moniker(std::wstring(delim ? delim : L"") + item, nullptr);
  (*ppmk)->AddRef();
  return S_OK;
}
