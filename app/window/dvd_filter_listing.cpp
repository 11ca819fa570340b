#include "app/window/dvd_filter_listing.h"

#include <string>

#include "core/diag_log.h"
#include "platform/dshow/system_objects.h"

namespace {
struct Listing {
  bool input;          // match an input pin (decoders) or an output pin (navigators)
  GUID subtype;
  DWORD merit;
  int countLimit;
  const char* prefix;  // the log line before the friendly name
  bool reportFailedRead;
};

// The friendly name in the program's code page, at most 128 bytes.
std::string FriendlyName(const wchar_t* name) {
  std::string text = WideToUtf8(name);
  if (text.size() > 127) text.resize(127);
  return text;
}

int RunListing(IFilterMapper2* mapper, const Listing& l) {
  GUID types[2] = {MEDIATYPE_DVD_ENCRYPTED_PACK, l.subtype};
  ComPtr<IEnumMoniker> e;
  HRESULT hr = mapper->EnumMatchingFilters(&e, 0, TRUE, l.merit, l.input, l.input ? 1 : 0, l.input ? types : nullptr,
                                           nullptr, nullptr, FALSE, !l.input, l.input ? 0 : 1,
                                           l.input ? nullptr : types, nullptr, nullptr);
  if (FAILED(hr) || !e) return 0;
  int found = 0;
  for (int n = 0; n < l.countLimit; ++n) {
    IMoniker* raw = nullptr;
    if (e->Next(1, &raw, nullptr) != S_OK || !raw) break;
    ComPtr<IMoniker> moniker;
    moniker.Attach(raw);
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag))) || !bag)
      continue;
    VARIANT v;
    VariantInit(&v);
    hr = bag->Read(L"FriendlyName", &v, nullptr);
    if (SUCCEEDED(hr) && v.vt == VT_BSTR && v.bstrVal) {
      WriteLog("%s", "");
      WriteLog("%s%s", l.prefix, FriendlyName(v.bstrVal).c_str());
      ++found;
    } else if (l.reportFailedRead) {
      WriteLog("%s", "");
      WriteLog("strange: %x", static_cast<unsigned>(hr));
    }
    VariantClear(&v);
  }
  return found;
}
}  // namespace

int ListInstalledDvdFilters() {
  ComPtr<IFilterMapper2> mapper;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              reinterpret_cast<void**>(&mapper))) ||
      !mapper)
    return 0;
  RunListing(mapper.get(), {false, MEDIASUBTYPE_DVD_SUBPICTURE, 0, 10, " * DVD Navigator installed: ", true});
  int video = RunListing(mapper.get(), {true, MEDIASUBTYPE_MPEG2_VIDEO, MERIT_DO_NOT_USE + 1, 20,
                                        " * DVD video decoder installed: ", false});
  RunListing(mapper.get(), {true, MEDIASUBTYPE_DOLBY_AC3, MERIT_DO_NOT_USE + 1, 20,
                            " * DVD Audio decoder installed: ", false});
  return video;
}
