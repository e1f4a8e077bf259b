#include "playback_fixtures.h"

#include "capture/video_recorder.h"
#include "tests/capture/capture_test_util.h"
#include "tests/support/test_environment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <optional>

namespace playbacktest {

bool HaveSoundServer() { return !qEnvironmentVariableIsEmpty("PULSE_SERVER"); }

namespace {
double recordedSeconds = 0;
} // namespace

double ProgramRecordingSeconds() { return recordedSeconds; }

QString ProgramRecording()
{
    static QString path;
    if (!path.isEmpty())
        return path;
    QElapsedTimer span;
    span.start();
    devices::DeviceConfigScope scope(capturetest::Devices(QStringLiteral("test"), QStringLiteral("test")));
    capturetest::Hosts hosts;
    VideoRecorder recorder;
    const QString folder = testenv::MakeTempFolder(QStringLiteral("Video")) + QLatin1Char('/');
    if (recorder.StartRecording(folder, hosts.whole, hosts.left, hosts.right, false) != S_OK)
        return {};
    capturetest::Pump(3000);
    const QString file = recorder.RecordingFileName();
    recorder.ReleaseGraph();
    recordedSeconds = span.elapsed() / 1000.0;
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

namespace {

// Runs a tool to its end (bounded); its standard output, or nothing on failure.
std::optional<QByteArray> Run(const QString &program, const QStringList &args)
{
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(60000)) {
        tool.kill();
        tool.waitForFinished(5000);
        return std::nullopt;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

QString MadeFile(const QString &name) { return testenv::MakeTempFolder(QStringLiteral("corpus")) + QLatin1Char('/') + name; }

} // namespace

QString Ffmpeg(const QString &name, const QStringList &args)
{
    const QString path = MadeFile(name);
    const QStringList all = QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args + QStringList{path};
    return Run(QStringLiteral("ffmpeg"), all) && QFileInfo(path).size() > 0 ? path : QString();
}

QString GstLaunch(const QString &name, const QString &pipeline)
{
    const QString path = MadeFile(name);
    QStringList args{QStringLiteral("-q")};
    args << pipeline.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    args.last() += path;
    return Run(QStringLiteral("gst-launch-1.0"), args) && QFileInfo(path).size() > 0 ? path : QString();
}

QString CutCopy(const QString &path, const QString &name, double fraction)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const QString cut = MadeFile(name);
    return testenv::WriteFile(cut, bytes.left(qsizetype(bytes.size() * fraction))) ? cut : QString();
}

bool FfmpegDecodes(const QString &path, bool audioOnly)
{
    const auto frames = Run(QStringLiteral("ffprobe"),
        {"-v", "error", "-select_streams", audioOnly ? "a:0" : "v:0", "-count_frames", "-show_entries",
            "stream=nb_read_frames", "-of", "csv=p=0", path});
    return frames && frames->trimmed().toInt() > 0;
}

} // namespace playbacktest
