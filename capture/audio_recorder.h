#pragma once
// AudioRecorder: the recording graph of the two audio modes, built on Record
// and released on Stop. It writes one ".wma" file (WMA 2, 64 kbit/s, 44.1 kHz
// stereo) per recording:
//
//   microphone → (converters) → file writer                      plain path
//   "DMO filter" → "InfTee Filter" ─┬→ file writer               microphone array
//                                   └→ sound renderer (heard live)
//
// Used from the dialog's thread only.
#include "platform/media/interfaces.h"
#include "platform/status/hresult.h"

#include <QString>
#include <memory>

class AudioRecorder {
public:
    AudioRecorder();
    virtual ~AudioRecorder();
    AudioRecorder(const AudioRecorder &) = delete;
    AudioRecorder &operator=(const AudioRecorder &) = delete;

    // Builds the graph for a new file in folder (ending in "/") and runs it.
    // S_FALSE when there is no microphone (the user was told); a failure code
    // when a step fails, also when the graph does not start, and then no
    // file is left behind. An existing file of the same name is never
    // overwritten (a second start within the same second waits for the next).
    HRESULT StartRecording(const QString &folder, bool useMicArray);
    // Stops the graph, which finishes the file, and releases every member.
    // Safe on a released recorder and twice in a row.
    void ReleaseGraph();

    // The file the last StartRecording named; empty before the first.
    QString RecordingFileName() const { return recordingFile_; }

    bool useMicArray = false;
    std::shared_ptr<media::IGraphBuilder> graph;
    std::shared_ptr<media::IMediaControl> mediaControl;
    std::shared_ptr<media::IMediaEventEx> mediaEvent;
    std::shared_ptr<media::ICaptureGraphBuilder2> captureBuilder;
    std::shared_ptr<media::IBaseFilter> microphone;
    std::shared_ptr<media::IBaseFilter> asfWriter;
    std::shared_ptr<media::IBaseFilter> micArrayFilter;
    std::shared_ptr<media::IBaseFilter> audioTee;
    std::shared_ptr<media::IBaseFilter> soundRenderer;

private:
    HRESULT AddSoundSource();
    HRESULT ConnectSound();
    HRESULT RunGraph();

    QString recordingFile_;
};
