// Loads libavfilter by its soname and looks up the functions the decoders use.
#include "platform/dshow/filter_library.h"

#include <dlfcn.h>

#include <mutex>

#include "core/diag_log.h"

extern "C" {
#include <libavutil/macros.h>
}

namespace {
// The major version the program was built against: its functions and
// structures are the ones the headers describe.
constexpr const char* kSoname = "libavfilter.so." AV_STRINGIFY(LIBAVFILTER_VERSION_MAJOR);

template <typename Fn>
bool Find(void* handle, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(dlsym(handle, name));
  return *fn != nullptr;
}

bool Load(FilterLibrary* lib) {
  void* handle = dlopen(kSoname, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    WriteLog("cannot load %s: %s", kSoname, dlerror());
    return false;
  }
  // The handle stays open for the life of the program: filter graphs and
  // frames from them may outlive any one decoder.
  const bool all = Find(handle, "avfilter_graph_alloc", &lib->graphAlloc) &&
                   Find(handle, "avfilter_graph_free", &lib->graphFree) &&
                   Find(handle, "avfilter_graph_create_filter", &lib->createFilter) &&
                   Find(handle, "avfilter_get_by_name", &lib->filterByName) &&
                   Find(handle, "avfilter_inout_alloc", &lib->inOutAlloc) &&
                   Find(handle, "avfilter_inout_free", &lib->inOutFree) &&
                   Find(handle, "avfilter_graph_parse_ptr", &lib->graphParse) &&
                   Find(handle, "avfilter_graph_config", &lib->graphConfig) &&
                   Find(handle, "av_buffersrc_add_frame_flags", &lib->addFrame) &&
                   Find(handle, "av_buffersink_get_frame", &lib->getFrame) &&
                   Find(handle, "av_buffersink_get_time_base", &lib->sinkTimeBase);
  if (!all) WriteLog("%s lacks a function the decoders use: %s", kSoname, dlerror());
  return all;
}
}  // namespace

const FilterLibrary* LoadFilterLibrary() {
  static FilterLibrary lib{};
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [] { loaded = Load(&lib); });
  return loaded ? &lib : nullptr;
}
