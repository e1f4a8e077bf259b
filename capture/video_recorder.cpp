#include "capture/video_recorder.h"

#include "capture/component_runtime.h"
#include "capture/device_discovery.h"
#include "capture/frame_grabber.h"
#include "capture/graph_utils.h"
#include "library/media_paths.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/filter.h"
#include "platform/ui/message_box.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QWidget>

using namespace media;

bool PreviewStarted = false;

namespace {

constexpr int kConnectRetries = 25;
constexpr int kConnectRetryPauseMs = 100;
constexpr LONG kMaxPreviewWidth = 320;
constexpr LONG kCappedHeight = 240;
constexpr DWORD kCappedImageSize = 320 * 240 * 3;
constexpr LONG kHiddenViewPosition = 600; // beyond the side hosts' client areas
constexpr LONG kRecordStartWaitMs = 3000;

// The message boxes belong to the dialog that hosts the views.
QWidget *OwnerOf(QWidget *host) { return host ? host->window() : nullptr; }

// What the grabber accepts: 24-bit RGB video of any size.
AM_MEDIA_TYPE GrabberMediaType()
{
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.bFixedSizeSamples = 1;
    mt.lSampleSize = 1;
    return mt;
}

template <class I>
void Release(std::shared_ptr<I> &member)
{
    member.reset();
}

} // namespace

VideoRecorder::VideoRecorder() { capture::InitializeComponentRuntime(); }

VideoRecorder::~VideoRecorder() { ReleaseGraph(); }

HRESULT VideoRecorder::StartPreview(QWidget *wholeHost, QWidget *leftHost, QWidget *rightHost, bool micArray)
{
    HRESULT hr = BuildPreviewGraph(wholeHost, leftHost, rightHost, micArray);
    if (!Succeeded(hr))
        return hr;
    mediaControl->Stop();
    hr = mediaControl->Run();
    running = true;
    PreviewStarted = true;
    return hr;
}

HRESULT VideoRecorder::BuildPreviewGraph(QWidget *wholeHost, QWidget *leftHost, QWidget *rightHost, bool micArray)
{
    useMicArray = micArray;
    QWidget *owner = OwnerOf(wholeHost);
    HRESULT hr = S_OK;
    if (!graph && !captureBuilder && !Succeeded(hr = CreateCaptureGraph(&graph, &captureBuilder)))
        return hr;
    if (!videoCapture && !Succeeded(hr = FindVideoDevice(graph, &videoCapture, owner)))
        return hr;
    QueryInterface(graph, &mediaControl);
    QueryInterface(graph, &mediaEvent);
    if (!mediaControl)
        return E_NOINTERFACE;

    AddFilterByClsid(graph, CLSID_SampleGrabber, QStringLiteral("SampleGrabber Filter"), &grabberFilter);
    if (!Succeeded(hr = QueryInterface(grabberFilter, &sampleGrabber)))
        return hr;
    if (!Succeeded(hr = captureBuilder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, videoCapture,
                       &streamConfig)))
        return hr;

    AM_MEDIA_TYPE format;
    if (streamConfig->GetFormat(&format) != S_OK) {
        diag::OutputDebugString(QStringLiteral("Get Format failed!"));
    } else if (VIDEOINFOHEADER *vih = format.VideoInfo(); vih && vih->bmiHeader.biWidth > kMaxPreviewWidth) {
        vih->bmiHeader.biWidth = kMaxPreviewWidth;
        vih->bmiHeader.biHeight = kCappedHeight;
        vih->bmiHeader.biSizeImage = kCappedImageSize;
        streamConfig->SetFormat(&format);
    }
    FreeMediaType(format);

    if (!Succeeded(hr = AddViewFilters()))
        return hr;
    const AM_MEDIA_TYPE grabberType = GrabberMediaType();
    if (!Succeeded(hr = sampleGrabber->SetMediaType(&grabberType)))
        return hr;
    if (!Succeeded(hr = ConnectViewFilters(owner)))
        return hr;

    AM_MEDIA_TYPE connected;
    sampleGrabber->GetConnectedMediaType(&connected);
    FreeMediaType(connected);
    sampleGrabber->SetBufferSamples(1);
    sampleGrabber->SetOneShot(0);

    if (!Succeeded(hr = BindVideoWindow(wholeRenderer, wholeHost, 0, 0, &wholeWindow)))
        return hr;
    if (!Succeeded(hr = BindVideoWindow(leftRenderer, leftHost, kHiddenViewPosition, kHiddenViewPosition,
                       &leftWindow)))
        return hr;
    if (!Succeeded(hr = BindVideoWindow(rightRenderer, rightHost, kHiddenViewPosition, kHiddenViewPosition,
                       &rightWindow)))
        return hr;

    QueryInterface(wholeRenderer, &wholeBasicVideo);
    QueryInterface(leftRenderer, &leftBasicVideo);
    return QueryInterface(rightRenderer, &rightBasicVideo);
}

// The side views' filters bear the name of the opposite side.
HRESULT VideoRecorder::AddViewFilters()
{
    if (!graph)
        return E_POINTER;
    struct Step {
        Guid clsid;
        const char *name;
        std::shared_ptr<IBaseFilter> *member;
    };
    const Step steps[] = {
        {CLSID_InfTee, "InfTee Filter", &videoTee},
        {CLSID_Colour, "Right Color Filter", &leftColor},
        {CLSID_VideoRenderer, "Right VideoRenderer Filter", &leftRenderer},
        {CLSID_Colour, "Left Color Filter", &rightColor},
        {CLSID_VideoRenderer, "Left VideoRenderer Filter", &rightRenderer},
        {CLSID_Colour, "Whole Color Filter", &wholeColor},
        {CLSID_VideoRenderer, "Whole VideoRenderer Filter", &wholeRenderer},
    };
    HRESULT hr = S_OK;
    for (const Step &step : steps)
        if (Failed(hr = AddFilterByClsid(graph, step.clsid, QString::fromLatin1(step.name), step.member)))
            return hr;
    return hr;
}

// A camera may refuse its first connections while it wakes up; retry a while.
HRESULT VideoRecorder::ConnectViewFilters(QWidget *owner)
{
    HRESULT hr = ConnectFilters(graph, videoCapture, videoTee);
    for (int retry = 0; Failed(hr) && retry < kConnectRetries; ++retry) {
        QThread::msleep(kConnectRetryPauseMs);
        diag::OutputDebugString(QStringLiteral("connect fail"));
        hr = ConnectCameraToTee();
    }
    if (Failed(hr)) {
        ui::InformationBox(owner, QStringLiteral("Initial Webcam Fail"));
        return hr;
    }
    if (hr == S_FALSE)
        return S_FALSE;

    // The tee grows one output per connection: left, right, whole (and the writer fourth).
    const std::pair<std::shared_ptr<IBaseFilter>, std::shared_ptr<IBaseFilter>> links[] = {
        {videoTee, leftColor}, {leftColor, leftRenderer},   {videoTee, rightColor},       {rightColor, rightRenderer},
        {videoTee, wholeColor}, {wholeColor, grabberFilter}, {grabberFilter, wholeRenderer},
    };
    for (const auto &[upstream, downstream] : links)
        if (!Succeeded(hr = ConnectFilters(graph, upstream, downstream)))
            return hr;
    return hr;
}

HRESULT VideoRecorder::ConnectCameraToTee()
{
    if (!graph || !videoCapture || !videoTee)
        return E_POINTER;
    std::shared_ptr<IPin> out;
    const HRESULT hr = FindFreePin(videoCapture, PINDIR_OUTPUT, &out);
    if (Failed(hr))
        return hr;
    return ConnectPinToFilter(graph, out, videoTee);
}

HRESULT VideoRecorder::StartRecording(const QString &folder, QWidget *wholeHost, QWidget *leftHost,
                                      QWidget *rightHost, bool micArray)
{
    recordingFile_.clear();
    HRESULT hr = BuildPreviewGraph(wholeHost, leftHost, rightHost, micArray);
    if (!Succeeded(hr))
        return hr;
    if (!Succeeded(hr = AddAudioFilters(OwnerOf(wholeHost))))
        return hr;

    const QString fileName = library::MakeCaptureFileName(folder, QStringLiteral(".wmv"));
    if (!Succeeded(hr = captureBuilder->SetOutputFileName(MEDIASUBTYPE_Asf, fileName, &asfWriter, nullptr)))
        return hr;

    std::shared_ptr<IConfigAsfWriter> config;
    hr = QueryInterface(asfWriter, &config);
    diag::OutputDebugString(diag::Format("QueryInterface: %x", static_cast<unsigned>(hr)));
    if (Failed(hr)) {
        diag::OutputDebugString(QStringLiteral("fail to queryinterface"));
        return hr;
    }
    config->ConfigureFilterUsingProfileGuid(WMProfile_V80_700NTSCVideo);
    config.reset();

    hr = ConnectAudio();
    if (Failed(hr)) {
        diag::OutputDebugString(QStringLiteral("Couldn't render Audio capture stream"));
        return hr;
    }
    std::shared_ptr<IFileSinkFilter> sink;
    if (!Succeeded(hr = QueryInterface(asfWriter, &sink)))
        return hr;
    sink.reset();

    recordingFile_ = fileName;
    if (mediaControl) {
        hr = mediaControl->Run();
        if (Failed(hr)) {
            ui::InformationBox(OwnerOf(wholeHost), QStringLiteral("Record fail"));
            DiscardFailedRecording();
        } else {
            // Devices take a moment to start (a sound server connection); the
            // recording should be running when the Record command returns.
            OAFilterState state = State_Stopped;
            mediaControl->GetState(kRecordStartWaitMs, &state);
        }
    }
    running = true;
    PreviewStarted = true;
    return hr;
}

// A recording that never ran would leave an empty or headerless file that no
// player opens; it is not a capture, so it goes.
void VideoRecorder::DiscardFailedRecording()
{
    if (mediaControl)
        mediaControl->Stop();
    if (!recordingFile_.isEmpty() && QFileInfo::exists(recordingFile_)) {
        QFile::remove(recordingFile_);
        diag::OutputDebugString(QStringLiteral("Removed the unfinished recording %1").arg(recordingFile_));
    }
}

HRESULT VideoRecorder::AddAudioFilters(QWidget *owner)
{
    if (!useMicArray)
        return audioCapture ? S_OK : FindAudioDevice(graph, &audioCapture, owner);
    if (!graph)
        return E_POINTER;
    HRESULT hr = AddFilterByClsid(graph, CLSID_MicArraySource, QStringLiteral("DMO filter"), &micArrayFilter);
    if (Failed(hr))
        return hr;
    if (Failed(hr = AddFilterByClsid(graph, CLSID_InfTee, QStringLiteral("InfTee Filter"), &audioTee)))
        return hr;
    // The graph makes the repeated name unique.
    return AddFilterByClsid(graph, CLSID_DSoundRender, QStringLiteral("InfTee Filter"), &soundRenderer);
}

HRESULT VideoRecorder::ConnectAudio()
{
    HRESULT hr = S_OK;
    if (useMicArray) {
        if (!Succeeded(hr = ConnectFilters(graph, micArrayFilter, audioTee)))
            return hr;
        if (!Succeeded(hr = ConnectFilters(graph, audioTee, asfWriter)))
            return hr;
        if (!Succeeded(hr = ConnectFilters(graph, audioTee, soundRenderer)))
            return hr;
    } else if (!Succeeded(hr = ConnectFilters(graph, audioCapture, asfWriter))) {
        return hr;
    }
    return ConnectFilters(graph, videoTee, asfWriter);
}

void VideoRecorder::ReleaseGraph()
{
    // Frame access stops reaching the grabber before the grabber goes.
    running = false;
    imageSizeKnown = false;
    if (mediaControl)
        mediaControl->Stop();
    for (const auto &window : {wholeWindow, leftWindow, rightWindow}) {
        if (!window)
            continue;
        window->put_Visible(OAFALSE);
        window->put_Owner(nullptr);
    }
    Release(streamConfig);
    Release(sampleGrabber);
    Release(wholeBasicVideo);
    Release(leftBasicVideo);
    Release(rightBasicVideo);
    Release(wholeWindow);
    Release(leftWindow);
    Release(rightWindow);
    Release(wholeRenderer);
    Release(leftRenderer);
    Release(rightRenderer);
    Release(audioCapture);
    Release(videoCapture);
    Release(grabberFilter);
    Release(videoTee);
    Release(wholeColor);
    Release(leftColor);
    Release(rightColor);
    Release(asfWriter);
    Release(micArrayFilter);
    Release(audioTee);
    Release(soundRenderer);
    Release(mediaControl);
    Release(mediaEvent);
    Release(captureBuilder);
    Release(graph);
}

capture::FrameGrabber VideoRecorder::Frames()
{
    return capture::FrameGrabber{running, sampleGrabber, imageBufferSize, imageSizeKnown};
}

bool VideoRecorder::GetImageSize(LONG *size) { return Frames().GetImageSize(size); }
bool VideoRecorder::GetImage(void *buffer) { return Frames().GetImage(buffer); }
bool VideoRecorder::GetBitmapInfoHeader(BITMAPINFOHEADER *header) { return Frames().GetBitmapInfoHeader(header); }
