// libavfilter, loaded the first time a picture needs its filters
// (deinterlacing, rotation, an odd width, an unusual pixel format). Most
// files need none, and the library with the 29 others only it brings (text
// to speech, speech recognition, Vulkan, ...) takes about 12 MiB, and
// loading it took a third of a short clip's conversion.
#pragma once

#include <cstdint>  // the C constant macros the library's headers need

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

struct FilterLibrary {
  decltype(&avfilter_graph_alloc) graphAlloc;
  decltype(&avfilter_graph_free) graphFree;
  decltype(&avfilter_graph_create_filter) createFilter;
  decltype(&avfilter_get_by_name) filterByName;
  decltype(&avfilter_inout_alloc) inOutAlloc;
  decltype(&avfilter_inout_free) inOutFree;
  decltype(&avfilter_graph_parse_ptr) graphParse;
  decltype(&avfilter_graph_config) graphConfig;
  decltype(&av_buffersrc_add_frame_flags) addFrame;
  decltype(&av_buffersink_get_frame) getFrame;
  decltype(&av_buffersink_get_time_base) sinkTimeBase;
};

// The library, loaded on the first call from any thread; null when it
// cannot be loaded (written to the log once).
const FilterLibrary* LoadFilterLibrary();
