#pragma once
// Captures as another program writes them, made at test time with ffmpeg:
// ASF files with a tone, and for the video modes a moving test picture.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace capturefiles {

// seconds of tone (and of picture when video is true) at path.
inline bool MakeCapture(const QString &path, double seconds, bool video)
{
    QStringList args{"-hide_banner", "-loglevel", "error", "-y"};
    if (video)
        args << "-f" << "lavfi" << "-i" << "testsrc=size=320x240:rate=25";
    args << "-f" << "lavfi" << "-i" << "sine=frequency=440:sample_rate=44100";
    args << "-t" << QString::number(seconds);
    if (video)
        args << "-c:v" << "wmv2";
    args << "-c:a" << "wmav2" << "-f" << "asf" << path;
    QProcess encoder;
    encoder.start(QStringLiteral("ffmpeg"), args);
    if (!encoder.waitForFinished(60000)) {
        encoder.kill();
        encoder.waitForFinished(5000);
        return false;
    }
    return encoder.exitCode() == 0;
}

} // namespace capturefiles
