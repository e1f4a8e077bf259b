#include "playback_fixtures.h"

#include "capture/video_recorder.h"
#include "tests/capture/capture_test_util.h"
#include "tests/support/test_environment.h"

#include <QFileInfo>
#include <QProcess>

namespace playbacktest {

bool HaveSoundServer() { return !qEnvironmentVariableIsEmpty("PULSE_SERVER"); }

QString ProgramRecording()
{
    static QString path;
    if (!path.isEmpty())
        return path;
    devices::DeviceConfigScope scope(capturetest::Devices(QStringLiteral("test"), QStringLiteral("test")));
    capturetest::Hosts hosts;
    VideoRecorder recorder;
    const QString folder = testenv::MakeTempFolder(QStringLiteral("Video")) + QLatin1Char('/');
    if (recorder.StartRecording(folder, hosts.whole, hosts.left, hosts.right, false) != S_OK)
        return {};
    capturetest::Pump(3000);
    const QString file = recorder.RecordingFileName();
    recorder.ReleaseGraph();
    if (QFileInfo(file).size() > 0)
        path = file;
    return path;
}

QString LaunchRecording(const QString &name, int width, int height, double seconds, bool withAudio)
{
    const QString path = testenv::MakeTempFolder(QStringLiteral("made")) + QLatin1Char('/') + name;
    QStringList args{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                     QStringLiteral("-y")};
    if (width > 0)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("smptebars=size=%1x%2:rate=30").arg(width).arg(height);
    if (withAudio)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=44100");
    args << QStringLiteral("-t") << QString::number(seconds);
    if (width > 0)
        args << QStringLiteral("-c:v") << QStringLiteral("wmv2");
    if (withAudio)
        args << QStringLiteral("-c:a") << QStringLiteral("wmav2");
    args << path;
    QProcess encoder;
    encoder.start(QStringLiteral("ffmpeg"), args);
    if (!encoder.waitForFinished(60000)) {
        encoder.kill();
        encoder.waitForFinished(5000);
        return {};
    }
    return encoder.exitCode() == 0 && QFileInfo(path).size() > 0 ? path : QString();
}

} // namespace playbacktest
