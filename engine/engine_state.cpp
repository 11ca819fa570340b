#include "engine/engine_state.h"

#include "core/diag_log.h"

GraphHandles& Graph() {
  static GraphHandles handles;
  return handles;
}

EngineState& Engine() {
  static EngineState state;
  return state;
}

void SetEngineWindows(HWND mainFrame, HWND videoPanel, int movieWidth, int movieHeight) {
  EngineState& e = Engine();
  e.hMainFrame = mainFrame;
  e.hMovieWnd = videoPanel;
  e.Movie_wndWidth = movieWidth;
  e.Movie_wndHeight = movieHeight;
}

HRESULT LogFailed(HRESULT hr, const char* call) {
  WriteLog("FAILED(hr=0x%x) in %s\n", static_cast<unsigned>(hr), call);
  return hr;
}
