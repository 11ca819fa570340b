#pragma once
// The filters the graph creates by itself: the file source over
// libavformat, decoders over libavcodec/libavfilter, and the two renderers.
#include <string>

#include "platform/dshow/filters.h"

// Compressed streams between the file source and a decoder carry this
// format type; the subtype's first field is the FFmpeg codec id.
DS_GUID(FORMAT_FfmpegStream, 0x6d2f0a11, 0x5b1e, 0x4c2a, 0x9e, 0x61, 0x43, 0x4f, 0x52, 0x56, 0x41, 0x4e)

// Opens path; on failure *phr says why (file missing, not media, no stream).
// Sends FFmpeg's messages to the diagnostic log (once per process).
void RouteMediaLibraryLog();

FilterBase* CreateFileSource(const std::wstring& path, HRESULT* phr);
// Moves the source to position t (100-ns units) for the next start.
void SetSourceStart(FilterBase* source, REFERENCE_TIME t);
REFERENCE_TIME SourceDuration(FilterBase* source);
bool IsFileSource(FilterBase* f);

// A decoder for the compressed stream that pin offers.
FilterBase* CreateDecoder(bool video);
FilterBase* CreateVideoRenderer();
FilterBase* CreateAudioRenderer();
bool IsRenderer(FilterBase* f);

// Opens the decoder's codec for the stream of sourcePin (before connecting).
HRESULT OpenDecoderFor(FilterBase* decoder, IPin* sourcePin);
// Sample times are stream times from t (100-ns units), the segment start.
void SetDecoderSegment(FilterBase* decoder, REFERENCE_TIME t);
bool IsDecoder(FilterBase* f);
// Set while the graph's pictures are shrunk to half their width and height
// or less: the video decoders then leave out the deblocking of pictures no
// other picture refers to. Averaged into the smaller picture, what it
// changes stays far below one step of a sample, and it is about a tenth of
// the decoding; nothing builds on those pictures, so no error carries on.
void SetDecodersShrinking(IFilterGraph* graph, bool shrinking);
bool DecodersShrinking(IFilterGraph* graph);
