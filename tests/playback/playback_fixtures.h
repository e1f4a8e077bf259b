#pragma once
// Files the player tests play: a recording the program made itself through
// VideoRecorder, and files written by ffmpeg (other sizes, a missing
// stream). Made in the test process's private home.
#include <QString>

namespace playbacktest {

// A 3 s recording of the test-pattern camera and a tone, made by VideoRecorder.
QString ProgramRecording();
// ffmpeg writes an ASF file of colour bars and a tone; empty when it
// could not. width 0: no
// video stream; withAudio false: no audio stream.
QString LaunchRecording(const QString &name, int width, int height, double seconds, bool withAudio);
// The sound renderer needs a sound server; the test run provides a private one.
bool HaveSoundServer();

} // namespace playbacktest
