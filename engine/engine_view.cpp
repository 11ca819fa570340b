#include "engine/engine_view.h"

#include "engine/plain_view.h"

namespace {
EngineView* g_view = nullptr;  // user-interface thread only
}  // namespace

void SetEngineView(EngineView* view) { g_view = view; }

EngineView& View() {
  // Without a front end the window changes go nowhere; the position bar
  // still keeps its values, since the engine reads them back.
  static PlainView none;
  return g_view ? *g_view : none;
}
