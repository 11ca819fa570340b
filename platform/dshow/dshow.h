#pragma once
// The DirectShow interfaces, identifiers and media types that the engine
// drives: filter graph, control, events, position, seeking, volume, video
// window, filters, pins and media samples.
//
// Use as on Windows: CoCreateInstance(CLSID_FilterGraph, nullptr,
// CLSCTX_INPROC_SERVER, IID_IGraphBuilder, ...); add filters that must sit on
// the decoded streams (the grabbers) with AddFilter before RenderFile; query
// IMediaControl, IMediaEventEx, IMediaPosition, IMediaSeeking, IMediaFilter
// (SetSyncSource), IBasicAudio and IVideoWindow from the graph. RenderFile
// builds: file source (libavformat) -> decoder (libavcodec, YUY2 video or
// 16/8-bit PCM audio) -> free input pins already in the graph -> "Video
// Renderer" / "Audio Renderer". Each decoded stream streams on its own thread;
// sample times are stream times (100 ns) that restart at 0 after a seek.
#include <vector>

#include "platform/com/com.h"
#include "platform/dshow/base.h"
#include "platform/dshow/refclock.h"

#define DS_GUID(name, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7) \
  inline constexpr GUID name = {d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};

DS_GUID(MEDIATYPE_Video, 0x73646976, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71)
DS_GUID(MEDIATYPE_Audio, 0x73647561, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71)
DS_GUID(MEDIATYPE_Stream, 0xe436eb83, 0x524f, 0x11ce, 0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(MEDIATYPE_DVD_ENCRYPTED_PACK, 0xED0B916A, 0x044D, 0x11D1, 0xAA, 0x78, 0x00, 0xC0, 0x4F, 0xC3, 0x1D, 0x60)
DS_GUID(MEDIASUBTYPE_YUY2, 0x32595559, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71)
DS_GUID(MEDIASUBTYPE_PCM, 0x00000001, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71)
DS_GUID(MEDIASUBTYPE_MPEG2_VIDEO, 0xE06D8026, 0xDB46, 0x11CF, 0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA)
DS_GUID(MEDIASUBTYPE_DOLBY_AC3, 0xE06D802C, 0xDB46, 0x11CF, 0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA)
DS_GUID(MEDIASUBTYPE_DVD_SUBPICTURE, 0xE06D802D, 0xDB46, 0x11CF, 0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA)
DS_GUID(FORMAT_VideoInfo, 0x05589f80, 0xc356, 0x11ce, 0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a)
DS_GUID(FORMAT_VideoInfo2, 0xF72A76A0, 0xEB0A, 0x11D0, 0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA)
DS_GUID(FORMAT_WaveFormatEx, 0x05589f81, 0xc356, 0x11ce, 0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a)

DS_GUID(IID_IBaseFilter, 0x56a86895, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMediaFilter, 0x56a86899, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IPin, 0x56a86891, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IEnumPins, 0x56a86892, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IEnumFilters, 0x56a86893, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IFilterGraph, 0x56a8689f, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IGraphBuilder, 0x56a868a9, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMediaControl, 0x56a868b1, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMediaEvent, 0x56a868b6, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMediaEventEx, 0x56a868c0, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMediaEventSink, 0x56a868a2, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMediaPosition, 0x56a868b2, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMediaSeeking, 0x36b73880, 0xc2c8, 0x11cf, 0x8b, 0x46, 0x00, 0x80, 0x5f, 0x6c, 0xef, 0x60)
DS_GUID(IID_IBasicAudio, 0x56a868b3, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IVideoWindow, 0x56a868b4, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMediaSample, 0x56a8689a, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(IID_IMemInputPin, 0x56a8689d, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
DS_GUID(TIME_FORMAT_MEDIA_TIME, 0x7b785574, 0x8c82, 0x11cf, 0xbc, 0x0c, 0x00, 0xaa, 0x00, 0xac, 0x74, 0xf6)

// The filter graph manager; its class identifier is defined in the file
// that implements it, so any user links that file in.
extern const CLSID CLSID_FilterGraph;

using REFTIME = double;  // seconds
using OAHWND = LONG_PTR;
using OAFilterState = LONG;
inline constexpr LONG OATRUE = -1;
inline constexpr LONG OAFALSE = 0;
inline constexpr LONG WS_CHILD = 0x40000000;
inline constexpr LONG WS_CLIPSIBLINGS = 0x04000000;
inline constexpr LONG WS_CLIPCHILDREN = 0x02000000;

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MAKE_HRESULT_CODE(0x80040200u);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MAKE_HRESULT_CODE(0x80040204u);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MAKE_HRESULT_CODE(0x80040207u);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MAKE_HRESULT_CODE(0x80040209u);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = MAKE_HRESULT_CODE(0x8004020Bu);
inline constexpr HRESULT VFW_E_NO_CLOCK = MAKE_HRESULT_CODE(0x80040213u);
inline constexpr HRESULT VFW_E_NOT_FOUND = MAKE_HRESULT_CODE(0x80040216u);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MAKE_HRESULT_CODE(0x80040217u);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = MAKE_HRESULT_CODE(0x80040218u);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MAKE_HRESULT_CODE(0x80040224u);
inline constexpr HRESULT VFW_E_WRONG_STATE = MAKE_HRESULT_CODE(0x80040227u);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MAKE_HRESULT_CODE(0x8004022Au);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = MAKE_HRESULT_CODE(0x8004022Fu);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MAKE_HRESULT_CODE(0x8004025Fu);
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = MAKE_HRESULT_CODE(0x80040265u);
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;

// Graph event codes.
inline constexpr LONG EC_COMPLETE = 0x01;
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;
inline constexpr LONG EC_REPAINT = 0x05;

struct RECT {
  LONG left, top, right, bottom;
};

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
inline constexpr WORD WAVE_FORMAT_PCM = 1;

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};
struct VIDEOINFOHEADER2 {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  DWORD dwInterlaceFlags;  // AMINTERLACE_*; 0 for progressive frames
  DWORD dwCopyProtectFlags;
  DWORD dwPictAspectRatioX;
  DWORD dwPictAspectRatioY;
  DWORD dwControlFlags;
  DWORD dwReserved2;
  BITMAPINFOHEADER bmiHeader;
};
inline constexpr DWORD AMINTERLACE_IsInterlaced = 0x00000001;
inline constexpr DWORD AMINTERLACE_1FieldPerSample = 0x00000002;
inline constexpr DWORD AMINTERLACE_Field1First = 0x00000004;

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;  // CoTaskMemAlloc'ed
};

// Helpers as in the base classes. FreeMediaType frees the format block only;
// DeleteMediaType frees the structure as well.
void FreeMediaType(AM_MEDIA_TYPE& mt);
void DeleteMediaType(AM_MEDIA_TYPE* pmt);
HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src);

// An AM_MEDIA_TYPE that owns its format block.
class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  CMediaType(const AM_MEDIA_TYPE& mt);  // NOLINT: copies
  CMediaType(const CMediaType& mt);
  CMediaType& operator=(const AM_MEDIA_TYPE& mt);
  CMediaType& operator=(const CMediaType& mt);
  ~CMediaType();
  BYTE* AllocFormatBuffer(ULONG length);
  bool IsValid() const { return !(majortype == GUID_NULL); }
  bool operator==(const CMediaType& o) const;
};

struct IBaseFilter;
struct IFilterGraph;
struct IPin;

struct FILTER_INFO {
  WCHAR achName[128];
  IFilterGraph* pGraph;  // with a reference, or null
};
struct PIN_INFO {
  IBaseFilter* pFilter;  // with a reference
  PIN_DIRECTION dir;
  WCHAR achName[128];
};

struct IMediaSample : IUnknown {
  virtual HRESULT GetPointer(BYTE** ppBuffer) = 0;
  virtual LONG GetSize() = 0;
  virtual HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT IsSyncPoint() = 0;
  virtual HRESULT SetSyncPoint(BOOL b) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(BOOL b) = 0;
  virtual LONG GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(LONG len) = 0;
  // S_OK with a new type (free with DeleteMediaType) when the type changed
  // with this sample, else S_FALSE and null.
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** ppMediaType) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* pMediaType) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(BOOL b) = 0;
  virtual HRESULT GetMediaTime(LONGLONG* pStart, LONGLONG* pEnd) = 0;
  virtual HRESULT SetMediaTime(LONGLONG* pStart, LONGLONG* pEnd) = 0;
};

struct IEnumPins : IUnknown {
  virtual HRESULT Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cPins) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** ppEnum) = 0;
};

struct IPin : IUnknown {
  virtual HRESULT Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pPin) = 0;
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* pInfo) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* pPinDir) = 0;
  virtual HRESULT QueryId(LPWSTR* Id) = 0;
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  virtual HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) = 0;
};

// The push-model input side of a pin: the upstream streaming thread calls
// Receive once per sample.
struct IMemInputPin : IUnknown {
  virtual HRESULT Receive(IMediaSample* pSample) = 0;
};

struct IMediaFilter : IUnknown {
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Run(REFERENCE_TIME tStart) = 0;
  virtual HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) = 0;
  virtual HRESULT SetSyncSource(IReferenceClock* pClock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** pClock) = 0;
};

struct IBaseFilter : IMediaFilter {
  virtual HRESULT EnumPins(IEnumPins** ppEnum) = 0;
  virtual HRESULT FindPin(LPCWSTR Id, IPin** ppPin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* pInfo) = 0;
  virtual HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) = 0;
  virtual HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) = 0;
};

struct IEnumFilters : IUnknown {
  virtual HRESULT Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cFilters) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** ppEnum) = 0;
};

struct IFilterGraph : IUnknown {
  virtual HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
  virtual HRESULT RemoveFilter(IBaseFilter* pFilter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** ppEnum) = 0;
  virtual HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) = 0;
  virtual HRESULT ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT Reconnect(IPin* ppin) = 0;
  virtual HRESULT Disconnect(IPin* ppin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;
};

struct IGraphBuilder : IFilterGraph {
  virtual HRESULT Connect(IPin* ppinOut, IPin* ppinIn) = 0;
  virtual HRESULT Render(IPin* ppinOut) = 0;
  virtual HRESULT RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) = 0;
  virtual HRESULT AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName, IBaseFilter** ppFilter) = 0;
  virtual HRESULT Abort() = 0;
};

struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  // VFW_S_STATE_INTERMEDIATE when the change has not finished in msTimeout.
  virtual HRESULT GetState(LONG msTimeout, OAFilterState* pfs) = 0;
  virtual HRESULT RenderFile(BSTR strFilename) = 0;
  virtual HRESULT StopWhenReady() = 0;
};

struct IMediaEvent : IUnknown {
  // E_ABORT when no event arrives within msTimeout.
  virtual HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout) = 0;
  virtual HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) = 0;
  virtual HRESULT CancelDefaultHandling(LONG lEvCode) = 0;
  virtual HRESULT RestoreDefaultHandling(LONG lEvCode) = 0;
  virtual HRESULT FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;
};

struct IMediaEventEx : IMediaEvent {
  // Each queued event posts lMsg (wParam 0, lParam lInstanceData) to hwnd,
  // a MessageWindow*; null stops the notifications.
  virtual HRESULT SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) = 0;
  virtual HRESULT SetNotifyFlags(LONG lNoNotifyFlags) = 0;
  virtual HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags) = 0;
};

// How filters report events to their graph.
struct IMediaEventSink : IUnknown {
  virtual HRESULT Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) = 0;
};

struct IMediaPosition : IUnknown {
  virtual HRESULT get_Duration(REFTIME* plength) = 0;
  virtual HRESULT put_CurrentPosition(REFTIME llTime) = 0;
  virtual HRESULT get_CurrentPosition(REFTIME* pllTime) = 0;
  virtual HRESULT get_StopTime(REFTIME* pllTime) = 0;
  virtual HRESULT put_StopTime(REFTIME llTime) = 0;
  virtual HRESULT get_PrerollTime(REFTIME* pllTime) = 0;
  virtual HRESULT put_PrerollTime(REFTIME llTime) = 0;
  virtual HRESULT put_Rate(double dRate) = 0;
  virtual HRESULT get_Rate(double* pdRate) = 0;
  virtual HRESULT CanSeekForward(LONG* pCanSeekForward) = 0;
  virtual HRESULT CanSeekBackward(LONG* pCanSeekBackward) = 0;
};

inline constexpr DWORD AM_SEEKING_NoPositioning = 0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 1;
inline constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr DWORD AM_SEEKING_CanGetDuration = 0x100;

struct IMediaSeeking : IUnknown {
  virtual HRESULT GetCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT GetTimeFormat(GUID* pFormat) = 0;
  virtual HRESULT SetTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT GetDuration(LONGLONG* pDuration) = 0;
  virtual HRESULT GetStopPosition(LONGLONG* pStop) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG* pCurrent) = 0;
  virtual HRESULT SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop, DWORD dwStopFlags) = 0;
  virtual HRESULT GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) = 0;
  virtual HRESULT SetRate(double dRate) = 0;
  virtual HRESULT GetRate(double* pdRate) = 0;
};

struct IBasicAudio : IUnknown {
  // Hundredths of a decibel: 0 full volume, -10000 silent.
  virtual HRESULT put_Volume(LONG lVolume) = 0;
  virtual HRESULT get_Volume(LONG* plVolume) = 0;
  virtual HRESULT put_Balance(LONG lBalance) = 0;
  virtual HRESULT get_Balance(LONG* plBalance) = 0;
};

struct IVideoWindow : IUnknown {
  // The owner is a MessageWindow*; when it also implements IVideoFrameSink,
  // the renderer shows every presented frame there.
  virtual HRESULT put_Owner(OAHWND Owner) = 0;
  virtual HRESULT get_Owner(OAHWND* Owner) = 0;
  virtual HRESULT put_WindowStyle(LONG WindowStyle) = 0;
  virtual HRESULT get_WindowStyle(LONG* WindowStyle) = 0;
  virtual HRESULT put_MessageDrain(OAHWND Drain) = 0;
  virtual HRESULT get_MessageDrain(OAHWND* Drain) = 0;
  virtual HRESULT SetWindowPosition(LONG Left, LONG Top, LONG Width, LONG Height) = 0;
  virtual HRESULT GetWindowPosition(LONG* pLeft, LONG* pTop, LONG* pWidth, LONG* pHeight) = 0;
  virtual HRESULT put_Visible(LONG Visible) = 0;
  virtual HRESULT get_Visible(LONG* pVisible) = 0;
  virtual HRESULT put_AutoShow(LONG AutoShow) = 0;
  virtual HRESULT get_AutoShow(LONG* AutoShow) = 0;
};

// What a window implements to receive the video renderer's frames. Called
// on the renderer's streaming thread; the frame is only valid for the call.
class IVideoFrameSink {
 public:
  virtual ~IVideoFrameSink() = default;
  // yuy2: packed 4:2:2, rows of width * 2 bytes.
  virtual void PresentFrame(const BYTE* yuy2, int width, int height, REFERENCE_TIME start) = 0;
};
