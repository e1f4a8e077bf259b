#pragma once
// Records the audio modes into ".wma" files.
// Not built yet: the recording graph comes with the audio-recording work; until
// then StartRecording reports E_NOTIMPL and records nothing.
#include "platform/status/hresult.h"

#include <QString>

class AudioRecorder {
public:
    AudioRecorder() = default;
    virtual ~AudioRecorder() { ReleaseGraph(); }
    AudioRecorder(const AudioRecorder &) = delete;
    AudioRecorder &operator=(const AudioRecorder &) = delete;

    HRESULT StartRecording(const QString &folder, bool useMicArray);
    void ReleaseGraph();

    bool useMicArray = false;
};
