// The check that both grabbers ended up on the decoded streams, and the
// one repair the video side gets.
#include <string>

#include "core/diag_log.h"
#include "core/message_dlg.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/graph_builder.h"
#include "engine/playback.h"
#include "platform/sysinfo/environment_checks.h"
#include "settings/translate.h"

namespace {
std::string FilterName(IBaseFilter* f) {
  FILTER_INFO info{};
  if (FAILED(f->QueryFilterInfo(&info))) return {};
  if (info.pGraph) info.pGraph->Release();
  return WideToUtf8(info.achName);
}

std::string PinName(IPin* p) {
  PIN_INFO info{};
  if (FAILED(p->QueryPinInfo(&info))) return {};
  if (info.pFilter) info.pFilter->Release();
  return WideToUtf8(info.achName);
}

ComPtr<IBaseFilter> Owner(IPin* p) {
  PIN_INFO info{};
  if (FAILED(p->QueryPinInfo(&info))) return {};
  ComPtr<IBaseFilter> f;
  f.Attach(info.pFilter);
  return f;
}

// A second renderer that the graph manager added under a suffixed name.
bool IsExtraRenderer(const std::string& name) {
  return name.rfind("Video Renderer", 0) == 0 && name.size() > 14;
}

void CheckPin(IPin* pin, const std::string& filterName) {
  EngineState& e = Engine();
  ComPtr<IPin> peer;
  PIN_DIRECTION dir = PINDIR_INPUT;
  pin->QueryDirection(&dir);
  if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer) {
    if (dir == PINDIR_INPUT) {
      WriteLog("\t InputPin:  %-12s", PinName(pin).c_str());
      return;
    }
    const ComPtr<IBaseFilter> peerOwner = Owner(peer.get());
    const std::string peerFilter = peerOwner ? FilterName(peerOwner.get()) : std::string();
    WriteLog("\t Pin:  %-12s --> %s", PinName(pin).c_str(), peerFilter.c_str());
    if (IsExtraRenderer(peerFilter)) {
      Graph().pGB->Disconnect(pin);
      Graph().pGB->Disconnect(peer.get());
      Graph().pGB->RemoveFilter(peerOwner.get());
      WriteLog("Removie Video Renderer");
    }
    return;
  }
  WriteLog("\t Pin:  %-20s not connected", PinName(pin).c_str());
  if (filterName == "Video Grabber") e.bVideoGrabberUnconnected = true;
  if (filterName == "Audio Grabber") e.bAudioGrabberUnconnected = true;
}

void ListFilters() {
  ComPtr<IEnumFilters> filters;
  if (!Graph().pGB || FAILED(Graph().pGB->EnumFilters(&filters))) return;
  // The removal of an extra renderer changes the list: take it first.
  std::vector<ComPtr<IBaseFilter>> all;
  for (IBaseFilter* f = nullptr; filters->Next(1, &f, nullptr) == S_OK;) {
    ComPtr<IBaseFilter> keep;
    keep.Attach(f);
    all.push_back(keep);
  }
  for (auto& f : all) {
    const std::string name = FilterName(f.get());
    WriteLog("Filter: %s", name.c_str());
    ComPtr<IEnumPins> pins;
    if (SUCCEEDED(f->EnumPins(&pins)))
      for (IPin* p = nullptr; pins->Next(1, &p, nullptr) == S_OK;) {
        CheckPin(p, name);
        p->Release();
      }
    WriteLogLine("");
  }
}

void RepairVideoGrabber() {
  EngineState& e = Engine();
  Stop();
  OAFilterState state;
  if (Graph().pMediaControl) Graph().pMediaControl->GetState(-1, &state);
  if (FAILED(ReconnectVideoGrabber())) {
    if (e.bAccelerationLowered) {
      SetDisplayAcceleration(false);
      e.bAccelerationLowered = false;
      Sleep(100);
    }
    View().ShowBlankScreen(false);
    View().ShowOptimizing(false);
    ProcessPendingMessages();
    WriteLog("**** VideoGrabber not connected ****");
    ShowMessageDlg(translate("Video cannot be played.\nPlease use \"Video Converter (Batch Mode)\" to convert this file."),
                   MsgKind::Information, mbOK);
  }
  View().ShowOptimizing(false);
}

ComPtr<IBaseFilter> FindByName(const wchar_t* name) {
  ComPtr<IBaseFilter> f;
  Graph().pGB->FindFilterByName(name, &f);
  return f;
}

ComPtr<IPin> FirstInputPin(IBaseFilter* f) {
  ComPtr<IEnumPins> pins;
  if (FAILED(f->EnumPins(&pins))) return {};
  for (IPin* p = nullptr; pins->Next(1, &p, nullptr) == S_OK;) {
    ComPtr<IPin> pin;
    pin.Attach(p);
    PIN_DIRECTION dir;
    if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_INPUT) return pin;
  }
  return {};
}
}  // namespace

int CheckGraph() {
  EngineState& e = Engine();
  e.bVideoGrabberUnconnected = e.bAudioGrabberUnconnected = false;
  WriteLog("----------------------------------------");
  ListFilters();
  WriteLog("----------------------------------------");
  if (e.bVideoGrabberUnconnected) RepairVideoGrabber();
  if (e.bAudioGrabberUnconnected) {
    WriteLog("**** AudioGrabber not connected ****");
    ShowMessageDlg(translate("Audio cannot be played.\nPlease use \"Video Converter (Batch Mode)\" to convert this file."),
                   MsgKind::Information, mbOK);
  }
  return (e.bVideoGrabberUnconnected || e.bAudioGrabberUnconnected) ? -1 : 0;
}

HRESULT ReconnectVideoGrabber() {
  GraphHandles& g = Graph();
  EngineState& e = Engine();
  // 1.-2.
  if (!g.pVideoRenderer) return E_FAIL;
  ComPtr<IBaseFilter> down = FindByName(L"Overlay Mixer2");
  if (!down) down = FindByName(L"Overlay Mixer");
  if (!down) down = ComPtr<IBaseFilter>(g.pVideoRenderer);
  ComPtr<IPin> vr_in = FirstInputPin(down.get());
  if (!vr_in) return E_FAIL;
  ComPtr<IPin> decoder_out;
  HRESULT hr = vr_in->ConnectedTo(&decoder_out);
  if (FAILED(hr)) return LogFailed(hr, "vr_in->ConnectedTo(&decoder_out)");
  // 3.
  if (FAILED(hr = g.pGB->Disconnect(vr_in.get()))) return LogFailed(hr, "pGB->Disconnect(vr_in)");
  if (FAILED(hr = g.pGB->Disconnect(decoder_out.get()))) return LogFailed(hr, "pGB->Disconnect(decoder_out)");
  // 4.
  WriteLog("Retry");
  View().ShowBlankScreen(true);
  ProcessPendingMessages();
  SetDisplayAcceleration(true);
  e.bAccelerationLowered = true;
  Sleep(200);
  WriteLog("Retry1");
  // 5.
  ComPtr<IPin> vg_in, vg_out;
  if (FAILED(hr = g.pVxGrabberBaseFilter_Video->FindPin(L"In", &vg_in)))
    return LogFailed(hr, "pVxGrabberBaseFilter_Video->FindPin(L\"In\", &vg_in)");
  if (FAILED(hr = g.pVxGrabberBaseFilter_Video->FindPin(L"Out", &vg_out)))
    return LogFailed(hr, "pVxGrabberBaseFilter_Video->FindPin(L\"Out\", &vg_out)");
  if (decoder_out.get() != vg_out.get() && FAILED(hr = decoder_out->Connect(vg_in.get(), nullptr)))
    return LogFailed(hr, "decoder_out->Connect(vg_in,NULL)");
  // 6.
  Sleep(150);
  SetDisplayAcceleration(false);
  e.bAccelerationLowered = false;
  Sleep(100);
  WriteLog("Retry2");
  View().ShowBlankScreen(false);
  // 7.-8.
  if (FAILED(hr = g.pGB->Render(vg_out.get()))) return LogFailed(hr, "pGB->Render(vg_out)");
  View().ShowOptimizing(true);
  WriteLog("Retry3");
  e.bVideoGrabberUnconnected = false;
  for (int i = 0; i < 10; ++i) {
    ProcessPendingMessages();
    Sleep(50);
  }
  return S_OK;
}
