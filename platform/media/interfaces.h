#pragma once
// The graph's interfaces, shaped like the media framework's so engine code reads
// like its algorithms: every method returns a 32-bit status code, interface
// references are std::shared_ptr (null when absent), and QueryInterface is a
// checked cast between the interfaces one object implements.
#include "platform/media/guid.h"
#include "platform/media/media_types.h"

#include <memory>
#include <vector>

class QObject;
class QWidget;

namespace media {

class Filter;
class Pin;
using IBaseFilter = Filter;
using IPin = Pin;

// Common root of every object the factory makes (virtual, so one object can
// implement many interfaces and still be one IUnknown).
class IUnknown {
public:
    virtual ~IUnknown() = default;
};

// obj → *out as interface I. E_POINTER without out place, E_NOINTERFACE (and
// *out null) when obj is null or does not implement I.
template <class I, class T>
HRESULT QueryInterface(const std::shared_ptr<T> &obj, std::shared_ptr<I> *out)
{
    if (!out)
        return E_POINTER;
    *out = std::dynamic_pointer_cast<I>(obj);
    return *out ? S_OK : E_NOINTERFACE;
}

struct FILTER_INFO {
    QString achName;               // the filter's name in its graph
    std::shared_ptr<class Graph> pGraph; // the graph holding it, null when none
};

class IGraphBuilder : public virtual IUnknown {
public:
    // Adds filter under name. A name already in the graph succeeds with
    // VFW_S_DUPLICATE_NAME and the filter gets a unique name (name + " 0001"...).
    // An empty name makes one up. E_POINTER for a null filter.
    virtual HRESULT AddFilter(const std::shared_ptr<IBaseFilter> &filter, const QString &name) = 0;
    // Disconnects every pin of the filter and takes it out of the graph.
    virtual HRESULT RemoveFilter(const std::shared_ptr<IBaseFilter> &filter) = 0;
    // VFW_E_NOT_FOUND and *out null when no filter has that name.
    virtual HRESULT FindFilterByName(const QString &name, std::shared_ptr<IBaseFilter> *out) = 0;
    // The filters in the order they were added.
    virtual HRESULT EnumFilters(std::vector<std::shared_ptr<IBaseFilter>> *out) = 0;
    // Intelligent connect: links output pin to input pin, inserting a colour
    // (videoconvert) or audio (audioconvert + audioresample) converter when the
    // formats differ. VFW_E_ALREADY_CONNECTED, VFW_E_NOT_IN_GRAPH,
    // VFW_E_CANNOT_CONNECT (nothing changed) on failure.
    virtual HRESULT Connect(const std::shared_ptr<IPin> &out, const std::shared_ptr<IPin> &in) = 0;
    // Breaks the connection of pin (and of its peer).
    virtual HRESULT Disconnect(const std::shared_ptr<IPin> &pin) = 0;
    // Builds a playback graph for an ASF (".wma"/".wmv") file: reader, decoders,
    // converters and renderers. VFW_E_NOT_FOUND for a missing file,
    // VFW_E_UNKNOWN_FILE_TYPE (with a diagnostic) for a file that is not ASF.
    virtual HRESULT RenderFile(const QString &path, const QString &playList = {}) = 0;
};
using IFilterGraph = IGraphBuilder;

class IMediaControl : public virtual IUnknown {
public:
    virtual HRESULT Run() = 0;   // PLAYING; E_FAIL (and a diagnostic) when the pipeline refuses
    virtual HRESULT Pause() = 0; // PAUSED
    // NULL. A graph that writes a file is drained first (EOS, bounded wait) so
    // the file is complete and seekable. Stopping a stopped graph is S_OK.
    virtual HRESULT Stop() = 0;
    // State_Stopped/Paused/Running; VFW_S_STATE_INTERMEDIATE while changing.
    virtual HRESULT GetState(LONG msTimeout, OAFilterState *state) = 0;
};

class IMediaEvent : public virtual IUnknown {
public:
    // Takes the oldest event, waiting up to msTimeout (0: no wait; negative:
    // wait forever). E_ABORT when none arrived in time.
    virtual HRESULT GetEvent(LONG *eventCode, LONG_PTR *param1, LONG_PTR *param2, LONG msTimeout) = 0;
    virtual HRESULT FreeEventParams(LONG eventCode, LONG_PTR param1, LONG_PTR param2) = 0;
};

class IMediaEventEx : public IMediaEvent {
public:
    // Every queued event sends target a media::GraphNotifyEvent (a QEvent,
    // see graph_notify_event.h) carrying message and instanceData. It is
    // delivered on target's own thread through the event loop (queued), never
    // from a media thread. A null target stops the notifications.
    virtual HRESULT SetNotifyWindow(QObject *target, LONG message, LONG_PTR instanceData) = 0;
};

class IMediaSeeking : public virtual IUnknown {
public:
    // Only TIME_FORMAT_MEDIA_TIME (100 ns units) is supported.
    virtual HRESULT SetTimeFormat(const Guid &format) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG *position) = 0;
    virtual HRESULT GetDuration(LONGLONG *duration) = 0;
    // current/stop may be null when their flags say AM_SEEKING_NoPositioning.
    // The position is reached exactly, also with AM_SEEKING_SeekToKeyFrame
    // (decoding starts at the key frame before it).
    virtual HRESULT SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *stop, DWORD stopFlags) = 0;
};

class ICaptureGraphBuilder2 : public virtual IUnknown {
public:
    virtual HRESULT SetFiltergraph(const std::shared_ptr<IGraphBuilder> &graph) = 0;
    virtual HRESULT GetFiltergraph(std::shared_ptr<IGraphBuilder> *graph) = 0;
    // Only MEDIASUBTYPE_Asf: creates the file writer, adds it to the graph as
    // "WM ASF Writer" and hands it out. E_ACCESSDENIED (with a diagnostic)
    // when the file cannot be written; sink may be null.
    virtual HRESULT SetOutputFileName(const Guid &type, const QString &fileName,
        std::shared_ptr<IBaseFilter> *writer, std::shared_ptr<class IFileSinkFilter> *sink) = 0;
    // Connects the source's first free output pin of the category (may be null:
    // any) and major type (may be null: any) through intermediate (may be null)
    // to sink (null: a default video or audio renderer is added).
    virtual HRESULT RenderStream(const Guid *category, const Guid *type, const std::shared_ptr<IBaseFilter> &source,
        const std::shared_ptr<IBaseFilter> &intermediate, const std::shared_ptr<IBaseFilter> &sink) = 0;
    // The stream-format interface of filter's pin of that category and type.
    virtual HRESULT FindInterface(const Guid *category, const Guid *type, const std::shared_ptr<IBaseFilter> &filter,
        std::shared_ptr<class IAMStreamConfig> *out) = 0;
};

class IAMStreamConfig : public virtual IUnknown {
public:
    // The pin's current format: FORMAT_VideoInfo with width, height (positive),
    // bit count and image size of the capture format.
    virtual HRESULT GetFormat(AM_MEDIA_TYPE *mt) = 0;
    // Caps the capture to the header's width and height (and frame rate when
    // AvgTimePerFrame is set). Only while the pin is not streaming.
    virtual HRESULT SetFormat(const AM_MEDIA_TYPE *mt) = 0;
};

class ISampleGrabber : public virtual IUnknown {
public:
    // Accepts MEDIATYPE_Video with MEDIASUBTYPE_RGB24 (GUID_NULL subtype also
    // means RGB24); a FORMAT_VideoInfo block with a size pins the frame size.
    // Takes effect on the next connection, like the framework's grabber.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE *mt) = 0;
    // Format of the connection: FORMAT_VideoInfo, an 88-byte block whose
    // bitmap header is 40/width/height(positive)/1/24/BI_RGB/image size.
    // VFW_E_NOT_CONNECTED when not connected.
    virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE *mt) = 0;
    virtual HRESULT SetBufferSamples(BOOL buffer) = 0;
    virtual HRESULT SetOneShot(BOOL oneShot) = 0;
    // Newest frame as bottom-up BGR rows padded to 4 bytes. buffer null:
    // *bufferSize := frame size. Otherwise *bufferSize is the capacity; too
    // small gives E_OUTOFMEMORY, else the frame is copied and *bufferSize set
    // to the bytes copied. VFW_E_WRONG_STATE before the first frame (or when
    // not buffering); E_POINTER without bufferSize. Safe from any thread.
    virtual HRESULT GetCurrentBuffer(LONG *bufferSize, void *buffer) = 0;
};

class IVideoWindow : public virtual IUnknown {
public:
    // All setters are safe from any thread and never wait for the GUI thread:
    // the values are stored at once (getters see them) and the window follows
    // through a queued call. Called on the GUI thread they apply immediately.
    virtual HRESULT put_Owner(QWidget *host) = 0; // null detaches and hides
    virtual HRESULT get_Owner(QWidget **host) = 0;
    virtual HRESULT put_WindowStyle(LONG style) = 0;
    virtual HRESULT get_WindowStyle(LONG *style) = 0;
    // Relative to the owner's client area; parts outside it are not seen.
    virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetWindowPosition(LONG *left, LONG *top, LONG *width, LONG *height) = 0;
    virtual HRESULT put_Visible(LONG visible) = 0; // OATRUE / OAFALSE
    virtual HRESULT get_Visible(LONG *visible) = 0;
    // Mouse and keyboard input of the video window goes to drain (its owner
    // normally), e.g. for the owner's context menu.
    virtual HRESULT put_MessageDrain(QWidget *drain) = 0;
    // The Qt widget that shows the video (GUI thread only; null before
    // put_Owner has been applied). For tests and for grabbing the view.
    virtual QWidget *VideoWidget() const = 0;
};

class IBasicVideo : public virtual IUnknown {
public:
    // The part of the frame shown, in frame pixels; default the whole frame.
    // E_INVALIDARG (and no change) for an empty rectangle or one outside a
    // frame of known size. Safe from any thread.
    virtual HRESULT SetSourcePosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetSourcePosition(LONG *left, LONG *top, LONG *width, LONG *height) = 0;
    virtual HRESULT SetDefaultSourcePosition() = 0;
    // Where the source part is drawn in the window: the window's client area.
    virtual HRESULT GetDestinationPosition(LONG *left, LONG *top, LONG *width, LONG *height) = 0;
    // Size of the frames; VFW_E_WRONG_STATE while not known yet.
    virtual HRESULT GetVideoSize(LONG *width, LONG *height) = 0;
};

class IConfigAsfWriter : public virtual IUnknown {
public:
    // WMProfile_V80_64StereoAudio: one audio input pin ("Audio Input 01").
    // WMProfile_V80_700NTSCVideo: "Audio Input 01" then "Video Input 01".
    // VFW_E_ALREADY_CONNECTED while a pin is connected; E_INVALIDARG for an
    // unknown profile; the encoder's code when an encoder is missing.
    virtual HRESULT ConfigureFilterUsingProfileGuid(const Guid &profile) = 0;
    virtual HRESULT GetCurrentProfileGuid(Guid *profile) = 0;
};

class IFileSinkFilter : public virtual IUnknown {
public:
    virtual HRESULT SetFileName(const QString &fileName, const AM_MEDIA_TYPE *mt) = 0;
    virtual HRESULT GetCurFile(QString *fileName, AM_MEDIA_TYPE *mt) = 0;
};

class IFileSourceFilter : public virtual IUnknown {
public:
    // Opens the file and creates one output pin per stream, audio pins
    // first. VFW_E_NOT_FOUND / VFW_E_UNKNOWN_FILE_TYPE with a diagnostic.
    virtual HRESULT Load(const QString &fileName, const AM_MEDIA_TYPE *mt) = 0;
    virtual HRESULT GetCurFile(QString *fileName, AM_MEDIA_TYPE *mt) = 0;
};

class IDMOWrapperFilter : public virtual IUnknown {
public:
    // Hosts a decoder object: CLSID_CWMVDecMediaObject in
    // DMOCATEGORY_VIDEO_DECODER or CLSID_CWMADecMediaObject in
    // DMOCATEGORY_AUDIO_DECODER; gives the filter pins "in0" and "out0".
    virtual HRESULT Init(const Guid &clsidDMO, const Guid &catDMO) = 0;
};

} // namespace media
