#pragma once
// Building the playback graph for the chosen file and tearing it down: the
// two grabbers go into the graph before the file is rendered, so intelligent
// connect puts them on the decoded streams; the engine's clock becomes the
// sync source and the video is shown in the video panel.
#include <string>

#include "platform/dshow/dshow.h"

// The file the next build renders.
void SetSourceFile(const std::string& path);

// Builds the graph for the source file. 0 when a build is still rendering
// (nothing done), 1 when the build was abandoned, else the last COM result
// (0 on success).
int RenderSource();

// Stops playback and releases the graph.
void CloseDVDVolume();
void ReleaseGraph();

// 0 when both grabbers are connected, -1 otherwise (after trying once to put
// the video grabber back between decoder and renderer).
int CheckGraph();
HRESULT ReconnectVideoGrabber();

// Publishes the graph in the running object table (a debugging aid) and
// takes it out again.
HRESULT AddGraphToRot(IUnknown* graph, DWORD* cookie);
void RemoveGraphFromRot(DWORD cookie);

// Waits for a rendering thread that is still running (at exit).
void JoinWorkerThread();
