#pragma once
// Files the player tests play: a recording the program made itself through
// VideoRecorder, and files written by ffmpeg (other sizes, a missing
// stream). Made in the test process's private home.
#include <QString>

namespace playbacktest {

// A 3 s recording of the test-pattern camera and a tone, made by VideoRecorder.
QString ProgramRecording();
// How long that recording really ran, from its start to its release: a busy
// machine records longer than the 3 s asked.
double ProgramRecordingSeconds();
// ffmpeg writes an ASF file of colour bars and a tone; empty when it
// could not. width 0: no
// video stream; withAudio false: no audio stream.
QString LaunchRecording(const QString &name, int width, int height, double seconds, bool withAudio);
// The sound renderer needs a sound server; the test run provides a private one.
bool HaveSoundServer();

// A file written by ffmpeg with these arguments after the input options
// (inputs, codecs, durations...); empty when ffmpeg failed.
QString Ffmpeg(const QString &name, const QStringList &args);
// A file written by gst-launch-1.0 running pipeline, whose last element is
// "filesink location=" followed by the file's path; empty when it failed.
QString GstLaunch(const QString &name, const QString &pipeline);
// The first fraction of a file, as a crash or an interrupted copy leaves it.
QString CutCopy(const QString &path, const QString &name, double fraction);
// Decodable by ffmpeg: it reads the whole file and decodes at least one
// frame of the first video stream (or of the sound, when audioOnly).
bool FfmpegDecodes(const QString &path, bool audioOnly);

} // namespace playbacktest
