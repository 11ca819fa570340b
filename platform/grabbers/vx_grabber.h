#pragma once
// The two grabber filters: pass-through filters with pins "In" and "Out"
// that call a registered callback once per sample on the streaming thread.
// The video grabber takes packed 4:2:2 (YUY2); the audio grabber takes only
// the media type given to SetAcceptedMediaType.
#include "platform/dshow/dshow.h"

// Class identifiers, defined in the grabbers' implementation file (so using
// them links the filters in and registers them for CoCreateInstance).
extern const CLSID CLSID_VxVideoGrabber;  // {B9660384-4E56-4E3B-A9CA-6645D37D7DB1}
extern const CLSID CLSID_VxGrabber;       // {9FEB375E-811C-41C4-9F20-D6FBAFFAA73D}

inline constexpr IID IID_IVxVideoGrabber = {0xB0BCB59D, 0x1F37, 0x4D8C, {0xB1, 0x79, 0x6B, 0xB6, 0x6C, 0xA9, 0x54, 0xDE}};
inline constexpr IID IID_IVxGrabber = {0x13B7DB0F, 0x2D1E, 0x4F6F, {0xB0, 0x6F, 0x79, 0xD9, 0x33, 0x86, 0x35, 0xE8}};

// (sample, &start, &stop, a value the program ignores (the sample's
// sequence number), non-zero when the media type changed with this sample).
// The result is not used by the grabber: every sample is passed on.
using VxSampleCallback = int (*)(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL ignored,
                                 BOOL typeChanged);

// Called once on the streaming thread when the stream ends, before the end
// goes on downstream.
using VxEndOfStreamCallback = void (*)();

struct IVxVideoGrabber : IUnknown {
  // The media type of the current "In" connection (free with FreeMediaType);
  // VFW_E_NOT_CONNECTED when unconnected.
  virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT SetCallback(VxSampleCallback callback) = 0;
  virtual HRESULT SetEndOfStreamCallback(VxEndOfStreamCallback callback) = 0;
};

struct IVxGrabber : IUnknown {
  // How many samples have passed since the filter last started streaming.
  virtual HRESULT GetSampleCount(LONG* count) = 0;
  // Types the "In" pin accepts: major type, and subtype and format type
  // unless they are GUID_NULL. Nothing is accepted before this call.
  virtual HRESULT SetAcceptedMediaType(const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT SetCallback(VxSampleCallback callback) = 0;
  virtual HRESULT SetEndOfStreamCallback(VxEndOfStreamCallback callback) = 0;
};
