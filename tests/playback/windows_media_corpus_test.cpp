// Windows Media files written by other programs (ffmpeg, GStreamer's own
// encoders), made at run time: every version of the video and sound families,
// odd sizes, a high frame rate, streams of unequal length, files cut short and
// garbage. What plays ends with exactly one notice; what gives no picture or
// sound is refused promptly and says why on the diagnostics channel; the
// thumbnails of the same files show a picture or a waveform.
#include "playback/audio_player.h"
#include "playback/painting_wait.h"
#include "playback/video_player.h"
#include "playback_fixtures.h"
#include "platform/diag/diagnostics.h"
#include "platform/media/graph_notify_event.h"
#include "platform/thumbnails/thumbnail_provider.h"
#include "tests/capture/capture_test_util.h"
#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

using namespace media;
using capturetest::Pump;
using capturetest::WaitUntil;

namespace {

const QStringList kBars{"-f", "lavfi", "-i"};

// ffmpeg arguments: colour bars of size at rate, a tone at hz with channels,
// the codecs, and each stream's length.
QStringList Clip(const QString &size, int rate, const QString &videoCodec, int hz, int channels,
                 const QString &audioCodec, double videoSeconds, double audioSeconds)
{
    return kBars + QStringList{QStringLiteral("smptebars=size=%1:rate=%2:duration=%3").arg(size).arg(rate).arg(videoSeconds)}
        + kBars + QStringList{QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(hz).arg(audioSeconds)}
        + QStringList{"-ac", QString::number(channels), "-c:v", videoCodec, "-c:a", audioCodec};
}

QString Name(const QString &path) { return path.section(QLatin1Char('/'), -1); }

// Stands where the dialog stands: takes the queue on every notice.
class Dialog : public QObject {
public:
    std::function<bool()> takeEvents;
    int notices = 0;
    int ends = 0;

protected:
    void customEvent(QEvent *e) override
    {
        if (e->type() != GraphNotifyEvent::Type())
            return;
        ++notices;
        if (takeEvents && takeEvents())
            ++ends;
    }
};

bool RefusalSaid(const diag::CaptureScope &debug, const QString &who, const QString &path)
{
    const QString start = QStringLiteral("%1: '%2' is not played: ").arg(who, Name(path));
    for (const QString &line : debug.Lines())
        if (line.startsWith(start) && line.size() > start.size() + 8)
            return true;
    return false;
}

// How many clearly different colours a picture holds (bars: many; a drawn
// icon or a black frame: few).
int Colours(const QImage &image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            seen.insert(image.pixel(x, y) & 0xE0E0E0);
    return int(seen.size());
}

class WindowsMediaCorpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!playbacktest::HaveSoundServer())
            GTEST_SKIP() << "no private sound server (run through tools/test.sh)";
    }

    // Plays every file at once (the clips are short, the sound server's
    // drain is not) and gives the number of ends each one's dialog saw.
    template <class Player>
    std::vector<int> PlayToTheirEnds(const QStringList &paths)
    {
        struct Playing {
            Player player;
            Dialog dialog;
        };
        std::vector<std::unique_ptr<Playing>> playing;
        for (const QString &path : paths) {
            auto p = std::make_unique<Playing>();
            p->dialog.takeEvents = [player = &p->player] { return TakeEnd(*player); };
            const HRESULT hr = Start(p->player, &p->dialog, path);
            EXPECT_EQ(hr, S_OK) << Name(path).toStdString() << "\n"
                                << debug.Lines().join(QLatin1Char('\n')).toStdString();
            playing.push_back(std::move(p));
        }
        WaitUntil([&] {
            return std::all_of(playing.begin(), playing.end(), [](const auto &p) { return p->dialog.ends > 0; });
        }, 15000);
        // A second notice would end the dialog's playback twice.
        Pump(300);
        std::vector<int> ends;
        for (const auto &p : playing)
            ends.push_back(p->dialog.ends);
        return ends;
    }
    HRESULT Start(VideoPlayer &player, QObject *dialog, const QString &path)
    {
        const HRESULT hr = player.PlayFile(dialog, hosts.whole, hosts.left, hosts.right, path);
        LONG size = 0;
        EXPECT_TRUE(hr != S_OK || player.GetImageSize(&size)) << Name(path).toStdString();
        return hr;
    }
    static HRESULT Start(AudioPlayer &player, QObject *dialog, const QString &path)
    {
        return player.OpenAndPlay(path, dialog);
    }
    static bool TakeEnd(VideoPlayer &player) { return player.CheckCompletion(); }
    static bool TakeEnd(AudioPlayer &player) { return player.HandleEvents(); }

    diag::CaptureScope debug;
    capturetest::Hosts hosts;
    thumbnails::ThumbnailProvider thumbnailer{{.useCache = false, .maxWorkers = 1, .cacheRoot = {}}};
};

} // namespace

TEST_F(WindowsMediaCorpus, EveryVideoVersionPlaysToOneEndNoticeAndShowsItsThumbnail)
{
    using playbacktest::Ffmpeg;
    const QString fullClip = Ffmpeg("wmv2 wma1 longer.wmv", Clip("320x240", 30, "wmv2", 22050, 1, "wmav1", 1.5, 1.5));
    const QStringList files{
        Ffmpeg("wmv1 wma1.wmv", Clip("176x144", 25, "wmv1", 22050, 1, "wmav1", 1, 1)),
        Ffmpeg("wmv2 wma1.wmv", Clip("320x240", 30, "wmv2", 44100, 1, "wmav1", 1, 1)),
        Ffmpeg("wmv1 wma2 stereo.wmv", Clip("240x180", 15, "wmv1", 48000, 2, "wmav2", 1, 1)),
        Ffmpeg("odd size.wmv", Clip("162x122", 30, "wmv2", 8000, 1, "wmav2", 1, 1)),
        Ffmpeg("60 fps.wmv", Clip("320x240", 60, "wmv1", 44100, 2, "wmav2", 1, 1)),
        Ffmpeg("picture longer.wmv", Clip("320x240", 30, "wmv2", 44100, 1, "wmav2", 1.2, 0.4)),
        Ffmpeg("sound longer.wmv", Clip("320x240", 30, "wmv1", 44100, 1, "wmav1", 0.4, 1.2)),
        playbacktest::CutCopy(fullClip, "cut at 60%.wmv", 0.6),
    };
    for (const QString &path : files) {
        ASSERT_FALSE(path.isEmpty());
        SCOPED_TRACE(Name(path).toStdString());
        ASSERT_TRUE(playbacktest::FfmpegDecodes(path, false));
        const auto thumbnail = thumbnailer.GetThumbnail(path, QSize(87, 65));
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->source, thumbnails::Thumbnail::Source::Generated);
        EXPECT_GE(Colours(thumbnail->image), 6); // the bars, not an icon
    }
    EXPECT_EQ(PlayToTheirEnds<VideoPlayer>(files), std::vector<int>(files.size(), 1));
}

TEST_F(WindowsMediaCorpus, EverySoundVersionPlaysToOneEndNoticeAndShowsItsWaveform)
{
    using playbacktest::Ffmpeg;
    const QStringList tone{"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=%1:duration=0.8"};
    auto sound = [&](const QString &name, int hz, int channels, const QString &codec) {
        QStringList args = tone;
        args[3] = args[3].arg(hz);
        return Ffmpeg(name, args + QStringList{"-ac", QString::number(channels), "-c:a", codec});
    };
    const QString longer = sound("wma2 longer.wma", 44100, 2, "wmav2");
    const QStringList files{
        sound("wma1 8k mono.wma", 8000, 1, "wmav1"),
        sound("wma1 44k stereo.wma", 44100, 2, "wmav1"),
        sound("wma2 48k stereo.wma", 48000, 2, "wmav2"),
        playbacktest::GstLaunch("gst-wma1.wma", "audiotestsrc num-buffers=30 ! audioconvert ! avenc_wmav1 ! asfmux "
                                                "! filesink location="),
        playbacktest::GstLaunch("gst-wma2.wma", "audiotestsrc num-buffers=30 ! audio/x-raw,rate=16000,channels=1 "
                                                "! audioconvert ! avenc_wmav2 ! asfmux ! filesink location="),
        playbacktest::CutCopy(longer, "cut wma2.wma", 0.6),
    };
    for (const QString &path : files) {
        ASSERT_FALSE(path.isEmpty());
        SCOPED_TRACE(Name(path).toStdString());
        ASSERT_TRUE(playbacktest::FfmpegDecodes(path, true));
        const auto thumbnail = thumbnailer.GetThumbnail(path, QSize(87, 65));
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->source, thumbnails::Thumbnail::Source::Generated);
    }
    EXPECT_EQ(PlayToTheirEnds<AudioPlayer>(files), std::vector<int>(files.size(), 1));
}

// Files that give no picture: refused well within the old five seconds of a
// frozen window, with the reason on the diagnostics channel, and the player
// plays the next good file.
TEST_F(WindowsMediaCorpus, FilesWithoutAPictureAreRefusedPromptlySayingWhy)
{
    const QString good = playbacktest::Ffmpeg("good.wmv", Clip("176x144", 25, "wmv1", 22050, 1, "wmav1", 1, 1));
    ASSERT_FALSE(good.isEmpty());
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray body = file.readAll();
    QByteArray noise(20000, Qt::Uninitialized);
    QRandomGenerator random(19);
    for (char &c : noise)
        c = char(random.bounded(256));
    // The header stays; every data packet after it is noise.
    const qsizetype data = body.indexOf(QByteArray::fromHex("3626b2758e66cf11a6d900aa0062ce6c"));
    ASSERT_GT(data, 0);
    const QByteArray noisyData = body.left(data + 50) + noise;
    const QString folder = testenv::MakeTempFolder(QStringLiteral("refused")) + QLatin1Char('/');
    ASSERT_TRUE(testenv::WriteFile(folder + "garbage.wmv", noise));
    ASSERT_TRUE(testenv::WriteFile(folder + "noise after the header.wmv", noisyData));
    // What a plain GStreamer encoding pipeline writes: the video's timestamps
    // lie 1000 hours after the sound's, beyond the file's length, so the
    // demuxer hands out no picture at all.
    const QString gst = playbacktest::GstLaunch(
        "gst-wmv1.wmv", "audiotestsrc num-buffers=20 ! audioconvert ! avenc_wmav1 ! queue ! m. videotestsrc "
                        "num-buffers=25 ! video/x-raw,width=320,height=240,framerate=25/1 ! avenc_wmv1 ! queue "
                        "! asfmux name=m ! filesink location=");
    ASSERT_FALSE(gst.isEmpty());
    VideoPlayer player;
    Dialog dialog;
    for (const QString &path : {folder + "garbage.wmv", folder + "noise after the header.wmv", gst}) {
        SCOPED_TRACE(Name(path).toStdString());
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(Failed(player.PlayFile(&dialog, hosts.whole, hosts.left, hosts.right, path)));
        EXPECT_LT(timer.elapsed(), 3000); // a sanity bound; the benchmark measures it
        EXPECT_FALSE(player.ready);
        EXPECT_TRUE(RefusalSaid(debug, QStringLiteral("VideoPlayer"), path))
            << debug.Lines().join(QLatin1Char('\n')).toStdString();
    }
    EXPECT_TRUE(debug.Lines().filter(QStringLiteral("ended without a picture")).size() >= 1);
    ASSERT_EQ(player.PlayFile(&dialog, hosts.whole, hosts.left, hosts.right, good), S_OK);

    AudioPlayer sound;
    ASSERT_TRUE(testenv::WriteFile(folder + "garbage.wma", noise));
    EXPECT_TRUE(Failed(sound.OpenAndPlay(folder + "garbage.wma", &dialog)));
    EXPECT_TRUE(RefusalSaid(debug, QStringLiteral("AudioPlayer"), folder + "garbage.wma"));
    // The empty graph's own complaint is not what happened.
    EXPECT_FALSE(debug.Contains(QStringLiteral("media: Run on a graph without filters")));
}

TEST_F(WindowsMediaCorpus, AStreamNoDecoderTakesIsRefusedNamingItsCaps)
{
    // Plain PCM sound in an ASF file: no decoder of the Windows Media sound
    // family takes it.
    const QString voice = playbacktest::Ffmpeg(
        "voice.wmv", kBars + QStringList{"smptebars=size=176x144:rate=25:duration=1"} + kBars
            + QStringList{"sine=sample_rate=22050:duration=1", "-c:v", "wmv2", "-c:a", "pcm_s16le"});
    ASSERT_FALSE(voice.isEmpty());
    VideoPlayer player;
    Dialog dialog;
    EXPECT_EQ(player.PlayFile(&dialog, hosts.whole, hosts.left, hosts.right, voice), VFW_E_CANNOT_CONNECT);
    EXPECT_TRUE(RefusalSaid(debug, QStringLiteral("VideoPlayer"), voice));
    EXPECT_FALSE(debug.Lines().filter(QStringLiteral("media: no decoder for the stream's caps audio/x-raw")).isEmpty())
        << debug.Lines().join(QLatin1Char('\n')).toStdString();
}

// While a start is decided the window paints.
TEST(PaintingWait, TheWindowPaintsWhileInputWaits)
{
    class Canvas : public QWidget {
    public:
        int paints = 0;

    protected:
        void paintEvent(QPaintEvent *) override
        {
            ++paints;
            QPainter(this).fillRect(rect(), Qt::darkGreen);
        }
    } canvas;
    canvas.resize(100, 80);
    canvas.show();
    Pump(50);
    const int before = canvas.paints;
    canvas.update();
    EXPECT_TRUE(playback::WaitWhilePainting(2000, [&] { return canvas.paints > before; }));
    EXPECT_FALSE(playback::WaitWhilePainting(30, [] { return false; }));
}
