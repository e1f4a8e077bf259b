#include "capture/audio_recorder.h"

#include "capture/component_runtime.h"
#include "capture/device_discovery.h"
#include "capture/graph_utils.h"
#include "library/media_paths.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/filter.h"

#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

using namespace media;

namespace {

// The sound server may take a moment to open the input; Record returns once
// the graph runs so the first words land in the file.
constexpr LONG kRecordStartWaitMs = 3000;
constexpr int kNameWaitMs = 1100;

// Names go by the second: a recording started within the second of the
// previous one waits for the next name instead of overwriting that file.
QString FreeCaptureFileName(const QString &folder)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const QString name = library::MakeCaptureFileName(folder, QStringLiteral(".wma"));
        if (!QFileInfo::exists(name))
            return name;
        if (waited.elapsed() > kNameWaitMs) {
            diag::OutputDebugString(QStringLiteral("AudioRecorder: '%1' exists; it is not overwritten").arg(name));
            return QString();
        }
        QThread::msleep(20);
    }
}

} // namespace

AudioRecorder::AudioRecorder() { capture::InitializeComponentRuntime(); }

AudioRecorder::~AudioRecorder() { ReleaseGraph(); }

HRESULT AudioRecorder::StartRecording(const QString &folder, bool micArray)
{
    useMicArray = micArray;
    recordingFile_.clear();
    HRESULT hr = CreateCaptureGraph(&graph, &captureBuilder);
    if (!Succeeded(hr))
        return hr;
    if (!Succeeded(hr = QueryInterface(graph, &mediaControl)))
        return hr;
    if (!Succeeded(hr = QueryInterface(graph, &mediaEvent)))
        return hr;
    if (!Succeeded(hr = AddSoundSource()))
        return hr;

    const QString fileName = FreeCaptureFileName(folder);
    if (fileName.isEmpty())
        return E_ACCESSDENIED;
    if (!Succeeded(hr = captureBuilder->SetOutputFileName(MEDIASUBTYPE_Asf, fileName, &asfWriter, nullptr)))
        return hr;
    std::shared_ptr<IConfigAsfWriter> config;
    if (Failed(hr = QueryInterface(asfWriter, &config)))
        return hr;
    config->ConfigureFilterUsingProfileGuid(WMProfile_V80_64StereoAudio);
    config.reset();

    if (!Succeeded(hr = ConnectSound()))
        return hr;
    recordingFile_ = fileName;
    return RunGraph();
}

HRESULT AudioRecorder::AddSoundSource()
{
    if (useMicArray) {
        if (!graph)
            return E_POINTER;
        HRESULT hr = AddFilterByClsid(graph, CLSID_MicArraySource, QStringLiteral("DMO filter"), &micArrayFilter);
        if (!Succeeded(hr))
            return hr;
        if (!Succeeded(hr = AddFilterByClsid(graph, CLSID_InfTee, QStringLiteral("InfTee Filter"), &audioTee)))
            return hr;
        // The graph makes the repeated name unique and says so with a success code.
        return AddFilterByClsid(graph, CLSID_DSoundRender, QStringLiteral("InfTee Filter"), &soundRenderer);
    }
    const HRESULT hr = FindMicrophoneByName(*this, QString());
    if (Succeeded(hr))
        EnableMicrophoneInput(microphone, QStringLiteral("Microphone"));
    return hr;
}

HRESULT AudioRecorder::ConnectSound()
{
    if (!useMicArray)
        return captureBuilder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, microphone, nullptr, asfWriter);
    HRESULT hr = ConnectFilters(graph, micArrayFilter, audioTee);
    if (!Succeeded(hr))
        return hr;
    if (!Succeeded(hr = ConnectFilters(graph, audioTee, asfWriter)))
        return hr;
    return ConnectFilters(graph, audioTee, soundRenderer);
}

// A graph that does not start has written nothing playable: its code goes
// back to the caller and the empty file goes.
HRESULT AudioRecorder::RunGraph()
{
    const HRESULT hr = mediaControl->Run();
    OAFilterState state = State_Stopped;
    const HRESULT started = Failed(hr) ? hr : mediaControl->GetState(kRecordStartWaitMs, &state);
    if (!Failed(started))
        return S_OK;
    diag::OutputDebugString(diag::Format("AudioRecorder: the recording did not start: %x",
                                         static_cast<unsigned>(started)));
    mediaControl->Stop();
    if (QFileInfo(recordingFile_).isFile() && !QFileInfo(recordingFile_).isSymLink())
        QFile::remove(recordingFile_);
    return started;
}

void AudioRecorder::ReleaseGraph()
{
    if (mediaControl)
        mediaControl->Stop();
    graph.reset();
    mediaControl.reset();
    mediaEvent.reset();
    captureBuilder.reset();
    microphone.reset();
    micArrayFilter.reset();
    audioTee.reset();
    soundRenderer.reset();
    asfWriter.reset();
}
