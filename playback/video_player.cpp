#include "playback/video_player.h"

#include "capture/component_runtime.h"
#include "capture/frame_grabber.h"
#include "capture/graph_utils.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/decoder_preload.h"
#include "platform/media/factory.h"
#include "platform/media/filter.h"
#include "platform/media/graph.h"
#include "platform/media/sample_grabber.h"
#include "playback/painting_wait.h"

#include <QFileInfo>
#include <cmath>
#include <cstdio>

using namespace media;

namespace {

constexpr LONG kGrabberWidth = 320;
constexpr LONG kGrabberHeight = 240;
constexpr DWORD kGrabberImageSize = 320 * 240 * 3;
constexpr LONG kHiddenViewPosition = 600; // beyond the side hosts' client areas
// How long PlayFile waits for a first frame: a file that passes every build
// step can still fail to decode, and must not be reported as playing. Errors
// and a video stream that ends empty end the wait at once.
constexpr int kFirstFrameWaitMs = 1000;

template <class I>
void Release(std::shared_ptr<I> &member)
{
    member.reset();
}

} // namespace

VideoPlayer::VideoPlayer()
{
    capture::InitializeComponentRuntime();
    // The first file played should not wait for the decoders to load.
    media::PreloadDecoders();
}

VideoPlayer::~VideoPlayer() { ReleaseGraph(); }

capture::FrameGrabber VideoPlayer::Frames()
{
    return capture::FrameGrabber{ready, sampleGrabber, imageBufferSize, imageSizeKnown};
}

HRESULT VideoPlayer::PlayFile(QObject *notifyTarget, QWidget *whole, QWidget *left, QWidget *right,
                              const QString &path)
{
    if (graph || ready)
        ReleaseGraph();
    refusal_.clear();
    const HRESULT hr = BuildGraph(notifyTarget, whole, left, right, path);
    if (Failed(hr) || hr == S_FALSE)
        diag::OutputDebugString(diag::Format("VideoPlayer: '%s' is not played: %s (0x%x)",
                                             qUtf8Printable(QFileInfo(path).fileName()),
                                             qUtf8Printable(refusal_.isEmpty() ? QStringLiteral("a step failed") : refusal_),
                                             static_cast<unsigned>(hr)));
    return hr;
}

// Names the step that ended the build, for the one line PlayFile writes.
HRESULT VideoPlayer::Refuse(HRESULT hr, const QString &why)
{
    if (refusal_.isEmpty())
        refusal_ = why;
    return hr;
}

HRESULT VideoPlayer::BuildGraph(QObject *notifyTarget, QWidget *whole, QWidget *left, QWidget *right,
                                const QString &path)
{
    HRESULT hr = CreateCaptureGraph(&graph, &captureBuilder);
    if (Failed(hr)) {
        std::puts("ERROR - Could not create the Filter Graph Manager.");
        std::fflush(stdout);
        return hr;
    }
    QueryInterface(graph, &mediaControl);
    QueryInterface(graph, &mediaEvent);
    QueryInterface(graph, &mediaSeeking);
    if (mediaSeeking)
        mediaSeeking->SetTimeFormat(TIME_FORMAT_MEDIA_TIME);

    if (!Succeeded(hr = AddSource(path)))
        return Refuse(hr, QStringLiteral("the file cannot be read as a Windows Media file"));
    if (!Succeeded(hr = AddFilters()))
        return Refuse(hr, QStringLiteral("a filter of the graph cannot be made"));
    if (!Succeeded(hr = SetGrabberType()))
        return Refuse(hr, QStringLiteral("the grabber refuses its media type"));
    if (!Succeeded(hr = ConnectAll()))
        return hr;
    if (Failed(hr = AdjustGrabberType()))
        return Refuse(hr, QStringLiteral("the grabber refuses the decoded format"));
    if (!Succeeded(hr = BindWindows(whole, left, right)))
        return Refuse(hr, QStringLiteral("a view cannot be bound"));
    if (!Succeeded(hr = QueryBasicVideo()))
        return Refuse(hr, QStringLiteral("a renderer lacks its basic video"));
    if (mediaEvent)
        mediaEvent->SetNotifyWindow(notifyTarget, WM_GRAPHNOTIFY, 0);
    return RunGraph();
}

HRESULT VideoPlayer::AddSource(const QString &path)
{
    HRESULT hr = AddFilterByClsid(graph, CLSID_WMAsfReader, QStringLiteral("Pelk FileSoure Filter"), &sourceFilter);
    if (!Succeeded(hr))
        return hr;
    QueryInterface(sourceFilter, &fileSource);
    return fileSource ? fileSource->Load(path, nullptr) : E_NOINTERFACE;
}

HRESULT VideoPlayer::AddDecoder(const Guid &object, const Guid &category, const QString &name,
                                std::shared_ptr<IBaseFilter> *decoder)
{
    HRESULT hr = CoCreateInstance(CLSID_DMOWrapperFilter, decoder);
    if (Failed(hr))
        return hr;
    std::shared_ptr<IDMOWrapperFilter> wrapper;
    if (Failed(hr = QueryInterface(*decoder, &wrapper)))
        return hr;
    hr = wrapper->Init(object, category);
    wrapper.reset();
    if (Failed(hr))
        return hr;
    if (!graph)
        return E_POINTER;
    return graph->AddFilter(*decoder, name);
}

HRESULT VideoPlayer::AddFilters()
{
    HRESULT hr = AddDecoder(CLSID_CWMVDecMediaObject, DMOCATEGORY_VIDEO_DECODER, QStringLiteral("DMOVideoDecoder"),
                            &videoDecoder);
    if (!Succeeded(hr))
        return hr;
    hr = AddDecoder(CLSID_CWMADecMediaObject, DMOCATEGORY_AUDIO_DECODER, QStringLiteral("DMOAudioDecoder"),
                    &audioDecoder);
    if (!Succeeded(hr))
        return hr;
    struct Step {
        Guid clsid;
        const char *name;
        std::shared_ptr<IBaseFilter> *member;
    };
    // The right view's converter repeats the whole view's name; the graph
    // accepts that with its duplicate-name success code.
    const Step steps[] = {
        {CLSID_DSoundRender, "DSoundRender", &soundRenderer},
        {CLSID_SampleGrabber, "Pelk SampleGrabber Filter", &grabberFilter},
        {CLSID_InfTee, "InfTee Filter", &videoTee},
        {CLSID_Colour, "Color Filter1", &wholeColor},
        {CLSID_VideoRenderer, "VideoRenderer Filter1", &wholeRenderer},
        {CLSID_Colour, "Color Filter2", &leftColor},
        {CLSID_VideoRenderer, "VideoRenderer Filter2", &leftRenderer},
        {CLSID_Colour, "Color Filter1", &rightColor},
        {CLSID_VideoRenderer, "VideoRenderer Filter3", &rightRenderer},
    };
    for (const Step &step : steps)
        if (!Succeeded(hr = AddFilterByClsid(graph, step.clsid, QString::fromLatin1(step.name), step.member))
            && hr != VFW_S_DUPLICATE_NAME)
            return hr;
    return S_OK;
}

HRESULT VideoPlayer::SetGrabberType()
{
    QueryInterface(grabberFilter, &sampleGrabber);
    if (!sampleGrabber)
        return E_NOINTERFACE;
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.formattype = FORMAT_VideoInfo;
    HRESULT hr = sampleGrabber->SetMediaType(&mt);
    if (!Succeeded(hr))
        return hr;
    if (!Succeeded(hr = sampleGrabber->SetBufferSamples(1)))
        return hr;
    return sampleGrabber->SetOneShot(0);
}

HRESULT VideoPlayer::ConnectAll()
{
    struct Link {
        std::shared_ptr<IBaseFilter> upstream, downstream;
        const char *failure;
    };
    const Link links[] = {
        {sourceFilter, audioDecoder, "no sound stream the audio decoder takes"},
        {sourceFilter, videoDecoder, "no video stream the video decoder takes"},
        {videoDecoder, grabberFilter, "the decoded video cannot reach the grabber"},
        {audioDecoder, soundRenderer, "the decoded sound cannot reach the sound renderer"},
        {grabberFilter, videoTee, "the grabber cannot feed the tee"},
        {videoTee, wholeColor, "the tee cannot feed the whole view"},
        {videoTee, leftColor, "the tee cannot feed the left view"},
        {videoTee, rightColor, "the tee cannot feed the right view"},
        {wholeColor, wholeRenderer, "the whole view's renderer cannot be connected"},
        {leftColor, leftRenderer, "the left view's renderer cannot be connected"},
        {rightColor, rightRenderer, "the right view's renderer cannot be connected"},
    };
    HRESULT hr = S_OK;
    for (const Link &link : links)
        if (!Succeeded(hr = ConnectFilters(graph, link.upstream, link.downstream)))
            return Refuse(hr, QString::fromLatin1(link.failure));
    return hr;
}

// Frames of another width than the camera's are asked for at the camera's
// 320 x 240; like the framework's grabber, the type governs later connections.
HRESULT VideoPlayer::AdjustGrabberType()
{
    AM_MEDIA_TYPE mt;
    if (Succeeded(sampleGrabber->GetConnectedMediaType(&mt))) {
        if (VIDEOINFOHEADER *vih = mt.VideoInfo(); vih && vih->bmiHeader.biWidth != kGrabberWidth) {
            vih->bmiHeader.biWidth = kGrabberWidth;
            vih->bmiHeader.biHeight = kGrabberHeight;
            vih->bmiHeader.biSizeImage = kGrabberImageSize;
        }
    } else {
        // The grabber only takes video; an empty type means "any RGB24 video".
        mt = AM_MEDIA_TYPE{};
        mt.majortype = MEDIATYPE_Video;
    }
    const HRESULT hr = sampleGrabber->SetMediaType(&mt);
    FreeMediaType(mt);
    return hr;
}

HRESULT VideoPlayer::BindWindows(QWidget *whole, QWidget *left, QWidget *right)
{
    HRESULT hr = BindVideoWindow(wholeRenderer, whole, 0, 0, &wholeWindow);
    if (!Succeeded(hr))
        return hr;
    if (!Succeeded(hr = BindVideoWindow(leftRenderer, left, kHiddenViewPosition, kHiddenViewPosition, &leftWindow)))
        return hr;
    return BindVideoWindow(rightRenderer, right, kHiddenViewPosition, kHiddenViewPosition, &rightWindow);
}

HRESULT VideoPlayer::QueryBasicVideo()
{
    HRESULT hr = QueryInterface(wholeRenderer, &wholeBasicVideo);
    if (!Succeeded(hr))
        return hr;
    if (!Succeeded(hr = QueryInterface(leftRenderer, &leftBasicVideo)))
        return hr;
    return QueryInterface(rightRenderer, &rightBasicVideo);
}

HRESULT VideoPlayer::RunGraph()
{
    if (!mediaControl)
        return Refuse(E_NOINTERFACE, QStringLiteral("the graph has no media control"));
    HRESULT hr = mediaControl->Run();
    if (Succeeded(hr))
        paused = 0;
    ready = true;
    if (Failed(hr))
        return Refuse(hr, QStringLiteral("the graph does not start"));
    const QString why = WaitForFirstFrame();
    if (why.isEmpty())
        return hr;
    // Data that passed every build step but gives no picture: nothing is
    // shown, so the file is not reported as playing.
    ready = false;
    if (mediaControl)
        mediaControl->Stop();
    return Refuse(E_FAIL, why);
}

// Waits, painting, until the grabber holds a frame; otherwise says why not.
QString VideoPlayer::WaitForFirstFrame()
{
    const auto mediaGraph = std::dynamic_pointer_cast<media::Graph>(graph);
    const auto grabber = std::dynamic_pointer_cast<media::SampleGrabber>(grabberFilter);
    QString why;
    const bool decided = playback::WaitWhilePainting(kFirstFrameWaitMs, [&] {
        LONG size = 0;
        // Released meanwhile (the dialog closed or the session ended).
        if (!sampleGrabber || !mediaControl) {
            why = QStringLiteral("the player was released while the file started");
            return true;
        }
        if (Succeeded(sampleGrabber->GetCurrentBuffer(&size, nullptr)))
            return true;
        if (mediaGraph && !mediaGraph->LastError().isEmpty()) {
            why = QStringLiteral("the graph failed while starting: ") + mediaGraph->LastError();
            return true;
        }
        if (grabber && grabber->EndedWithoutFrame()) {
            why = QStringLiteral("the video stream ended without a picture");
            return true;
        }
        return false;
    });
    if (!decided)
        why = QStringLiteral("no picture within %1 ms").arg(kFirstFrameWaitMs);
    return why;
}

void VideoPlayer::ReleaseGraph()
{
    // Frame access stops reaching the grabber before the grabber goes.
    ready = false;
    imageSizeKnown = false;
    if (mediaControl)
        mediaControl->Stop();
    if (mediaEvent)
        mediaEvent->SetNotifyWindow(nullptr, 0, 0);
    for (const auto &window : {wholeWindow, leftWindow, rightWindow}) {
        if (!window)
            continue;
        window->put_Visible(OAFALSE);
        window->put_Owner(nullptr);
    }
    Release(graph);
    Release(mediaControl);
    Release(mediaEvent);
    Release(captureBuilder);
    Release(sampleGrabber);
    Release(fileSource);
    Release(mediaSeeking);
    Release(wholeWindow);
    Release(leftWindow);
    Release(rightWindow);
    Release(wholeBasicVideo);
    Release(leftBasicVideo);
    Release(rightBasicVideo);
    Release(wholeRenderer);
    Release(leftRenderer);
    Release(rightRenderer);
    Release(grabberFilter);
    Release(sourceFilter);
    Release(videoDecoder);
    Release(audioDecoder);
    Release(videoTee);
    Release(wholeColor);
    Release(leftColor);
    Release(rightColor);
    Release(soundRenderer);
}

HRESULT VideoPlayer::Resume()
{
    if (!mediaControl)
        return E_POINTER;
    const HRESULT hr = mediaControl->Run();
    if (Failed(hr))
        diag::OutputDebugString(QStringLiteral("Run fail"));
    else
        paused = 0;
    return hr;
}

bool VideoPlayer::GetPositionSeconds(double *seconds)
{
    LONGLONG position = 0;
    if (!mediaSeeking || !seconds || Failed(mediaSeeking->GetCurrentPosition(&position)))
        return false;
    *seconds = double(position) / double(UNITS);
    return true;
}

bool VideoPlayer::GetDurationSeconds(double *seconds)
{
    LONGLONG duration = 0;
    if (!mediaSeeking || !seconds || Failed(mediaSeeking->GetDuration(&duration)))
        return false;
    *seconds = double(duration) / double(UNITS);
    return true;
}

bool VideoPlayer::SeekToSeconds(double seconds)
{
    // A value no file position can have (NaN, infinite, far beyond 64 bits)
    // is refused rather than converted with undefined behaviour.
    if (!mediaSeeking || !std::isfinite(seconds) || std::fabs(seconds) > 9.0e11)
        return false;
    LONGLONG position = static_cast<LONGLONG>(seconds * double(UNITS));
    return Succeeded(mediaSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame,
                                                nullptr, AM_SEEKING_NoPositioning));
}

bool VideoPlayer::CheckCompletion()
{ return TakeEventsUntilComplete(mediaEvent); }

bool VideoPlayer::GetImageSize(LONG *size) { return Frames().GetImageSize(size); }
bool VideoPlayer::GetImage(void *buffer) { return Frames().GetImage(buffer); }
bool VideoPlayer::GetBitmapInfoHeader(BITMAPINFOHEADER *header) { return Frames().GetBitmapInfoHeader(header); }
