// The running object table entry of the graph, with a debug level above 0.
#include <cstdio>
#include <cstdint>
#include <unistd.h>

#include "engine/graph_builder.h"
#include "platform/dshow/system_objects.h"

HRESULT AddGraphToRot(IUnknown* graph, DWORD* cookie) {
  ComPtr<IRunningObjectTable> rot;
  HRESULT hr = GetRunningObjectTable(0, &rot);
  if (FAILED(hr)) return hr;
  wchar_t name[128];
  std::swprintf(name, 128, L"FilterGraph %08x pid %08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(graph)),
                static_cast<unsigned>(getpid()));
  ComPtr<IMoniker> moniker;
  hr = CreateItemMoniker(L"!", name, &moniker);
  if (SUCCEEDED(hr)) hr = rot->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, graph, moniker.get(), cookie);
  return hr;
}

void RemoveGraphFromRot(DWORD cookie) {
  ComPtr<IRunningObjectTable> rot;
  if (SUCCEEDED(GetRunningObjectTable(0, &rot))) rot->Revoke(cookie);
}
