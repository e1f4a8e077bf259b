// Recording through the ASF writer and playing the result back: a stopped
// graph leaves a complete, seekable file; positions are in 100 ns units; the
// end of the file arrives as event 1 through the queued notification.
#include "media_test_util.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/graph_notify_event.h"
#include "platform/media/recording_marker.h"
#include "platform/media/recording_status.h"
#include "tests/support/test_environment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QUrl>
#include <gst/pbutils/pbutils.h>
#include <cstdio>
#include <gtest/gtest.h>

using namespace media;
using namespace mediatest;

namespace {

struct Recording {
    std::shared_ptr<Graph> graph = NewGraph();
    std::shared_ptr<ICaptureGraphBuilder2> builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
    std::shared_ptr<Filter> writer;

    // camera -> tee -> writer's video input; microphone -> writer's audio input.
    HRESULT Build(const QString &path, bool withVideo)
    {
        HRESULT hr = builder->SetFiltergraph(graph);
        if (Failed(hr) || Failed(hr = builder->SetOutputFileName(MEDIASUBTYPE_Asf, path, &writer, nullptr)))
            return hr;
        std::shared_ptr<IConfigAsfWriter> config;
        if (Failed(hr = QueryInterface(writer, &config)))
            return hr;
        config->ConfigureFilterUsingProfileGuid(withVideo ? WMProfile_V80_700NTSCVideo : WMProfile_V80_64StereoAudio);
        auto mic = MakeTestMicrophone();
        graph->AddFilter(mic, QStringLiteral("Audio Capture Filter"));
        if (Failed(hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, mic, nullptr, writer)))
            return hr;
        if (!withVideo)
            return S_OK;
        auto camera = MakeTestCamera("smpte", "video/x-raw,width=640,height=480,framerate=30/1");
        auto tee = Create<Filter>(CLSID_InfTee);
        graph->AddFilter(camera, QStringLiteral("Capture Filter"));
        graph->AddFilter(tee, QStringLiteral("InfTee Filter"));
        std::shared_ptr<IAMStreamConfig> config2;
        if (Failed(hr = builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, &config2)))
            return hr;
        AM_MEDIA_TYPE mt;
        if (config2->GetFormat(&mt) != S_OK || mt.VideoInfo()->bmiHeader.biWidth != 640)
            return E_FAIL;
        VIDEOINFOHEADER *vih = mt.VideoInfo();
        vih->bmiHeader.biWidth = 320;
        vih->bmiHeader.biHeight = 240;
        vih->bmiHeader.biSizeImage = 230400;
        config2->SetFormat(&mt);
        if (Failed(hr = graph->Connect(PinAt(camera, 0), PinAt(tee, 0))))
            return hr;
        std::shared_ptr<Pin> videoIn;
        writer->FindPin(QStringLiteral("Video Input 01"), &videoIn);
        return graph->Connect(PinAt(tee, 1), videoIn);
    }
};

struct Discovered {
    bool ok = false;
    bool seekable = false;
    double seconds = 0;
    QStringList streams; // caps of each stream
};

Discovered Discover(const QString &path)
{
    Discovered out;
    GstDiscoverer *discoverer = gst_discoverer_new(5 * GST_SECOND, nullptr);
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), nullptr);
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        out.ok = true;
        out.seekable = gst_discoverer_info_get_seekable(info);
        out.seconds = double(gst_discoverer_info_get_duration(info)) / GST_SECOND;
        GList *streams = gst_discoverer_info_get_stream_list(info);
        for (GList *l = streams; l; l = l->next) {
            GstCaps *caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(l->data));
            if (caps) {
                gchar *text = gst_caps_to_string(caps);
                out.streams << QString::fromUtf8(text);
                g_free(text);
                gst_caps_unref(caps);
            }
        }
        gst_discoverer_stream_info_list_free(streams);
    }
    if (info)
        gst_discoverer_info_unref(info);
    g_object_unref(discoverer);
    return out;
}

QString Record(const QString &name, bool withVideo, int ms)
{
    const QString path = testenv::MakeTempFolder() + QLatin1Char('/') + name;
    Recording rec;
    if (rec.Build(path, withVideo) != S_OK || !RunUntilRunning(*rec.graph))
        return {};
    QThread::msleep(ms);
    rec.graph->Stop();
    return path;
}

class NotifyCatcher : public QObject {
public:
    QList<QPair<LONG, LONG_PTR>> received;
    bool event(QEvent *e) override
    {
        if (e->type() != GraphNotifyEvent::Type())
            return QObject::event(e);
        auto *n = static_cast<GraphNotifyEvent *>(e);
        received.append({n->Message(), n->InstanceData()});
        return true;
    }
};

} // namespace

TEST(Writer, StoppedRecordingIsCompleteAndSeekableWithTheProfileStreams)
{
    const QString path = testenv::MakeTempFolder() + QStringLiteral("/meeting 'één'.wmv");
    Recording rec;
    ASSERT_EQ(rec.Build(path, true), S_OK);
    std::shared_ptr<IFileSinkFilter> sink;
    ASSERT_EQ(QueryInterface(rec.writer, &sink), S_OK);
    QString current;
    EXPECT_EQ(sink->GetCurFile(&current, nullptr), S_OK);
    EXPECT_EQ(current, path);

    ASSERT_TRUE(RunUntilRunning(*rec.graph));
    QElapsedTimer timer;
    timer.start();
    QThread::msleep(3000);
    const double recorded = timer.elapsed() / 1000.0;
    ASSERT_EQ(rec.graph->Stop(), S_OK);
    EXPECT_LT(timer.elapsed() / 1000.0 - recorded, testenv::Slack(2.0)) << "draining is quick";
    EXPECT_EQ(rec.graph->Stop(), S_OK); // twice: nothing more happens

    const Discovered d = Discover(path);
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(d.seekable);
    EXPECT_NEAR(d.seconds, recorded, 0.3);
    ASSERT_EQ(d.streams.size(), 2) << d.streams.join(QLatin1Char('\n')).toStdString();
    const QString all = d.streams.join(QLatin1Char('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("audio/x-wma")) && all.contains(QStringLiteral("wmaversion=(int)2")))
        << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("channels=(int)2"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("video/x-wmv")) && all.contains(QStringLiteral("wmvversion=(int)2")))
        << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("width=(int)320")) && all.contains(QStringLiteral("height=(int)240")));
}

// A file manager removing the capture folder mid-recording unlinks the file
// being written; the writer puts the finished file back under its name.
TEST(Writer, ARecordingWhoseFolderIsRemovedMidwayIsPutBackWhole)
{
    struct Case {
        const char *what;
        bool removeFolder;     // else only the file
        bool blockFolder;      // a file where the folder must be made again
    };
    for (const Case c : {Case{"folder", true, false}, Case{"file", false, false}, Case{"blocked", true, true}}) {
        SCOPED_TRACE(c.what);
        media::TakeFolderRemovedNotice();
        const QString folder = testenv::MakeTempFolder() + QStringLiteral("/Video");
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/20260101-090000.wmv");
        Recording rec;
        ASSERT_EQ(rec.Build(path, true), S_OK);
        ASSERT_TRUE(RunUntilRunning(*rec.graph));
        QElapsedTimer timer;
        timer.start();
        QThread::msleep(1500);
        ASSERT_TRUE(c.removeFolder ? QDir(folder).removeRecursively() : QFile::remove(path));
        if (c.blockFolder) {
            QFile blocker(folder);
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        }
        QThread::msleep(1500);
        const double recorded = timer.elapsed() / 1000.0;
        ASSERT_EQ(rec.graph->Stop(), S_OK);

        const auto notice = media::TakeFolderRemovedNotice();
        ASSERT_TRUE(notice.has_value());
        EXPECT_EQ(notice->file, path);
        EXPECT_EQ(notice->folderGone, c.removeFolder);
        EXPECT_FALSE(media::TakeFolderRemovedNotice().has_value()) << "told once";
        if (c.blockFolder) {
            EXPECT_FALSE(notice->kept);
            EXPECT_FALSE(QFileInfo(folder).isDir());
            continue;
        }
        EXPECT_TRUE(notice->kept);
        const Discovered d = Discover(path);
        ASSERT_TRUE(d.ok);
        EXPECT_TRUE(d.seekable);
        EXPECT_NEAR(d.seconds, recorded, 0.4) << "the whole recording, not what was written after the removal";
        EXPECT_EQ(d.streams.size(), 2);
        EXPECT_FALSE(QFileInfo::exists(media::RecordingMarkerPath(path))) << "finished, so no marker";
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary left";
    }
    // A recording nobody disturbed says nothing.
    const QString path = Record(QStringLiteral("quiet.wma"), false, 500);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_FALSE(media::TakeFolderRemovedNotice().has_value());
}

// A Stop right after Run, before the live sources have handed the encoders
// anything: a short file players open, or none; never a bare header.
TEST(Writer, AStopRightAfterRunLeavesAPlayableFileOrNone)
{
    int none = 0, playable = 0;
    for (int round = 0; round < 6; ++round) {
        const bool withVideo = round % 2 == 0;
        const QString path = testenv::MakeTempFolder() + (withVideo ? QStringLiteral("/quick.wmv") : QStringLiteral("/quick.wma"));
        Recording rec;
        ASSERT_EQ(rec.Build(path, withVideo), S_OK);
        ASSERT_EQ(rec.graph->Run(), S_OK);
        ASSERT_EQ(rec.graph->Stop(), S_OK);
        EXPECT_FALSE(QFileInfo::exists(media::RecordingMarkerPath(path)));
        if (!QFileInfo::exists(path)) {
            ++none;
            continue;
        }
        const Discovered d = Discover(path);
        EXPECT_TRUE(d.ok) << "round " << round << ": " << QFileInfo(path).size() << " bytes nobody opens";
        EXPECT_GT(d.seconds, 0.0) << "round " << round;
        playable += d.ok;
    }
    EXPECT_EQ(none + playable, 6);
    std::printf("stopped at once: %d of 6 left no file, %d a playable one\n", none, playable);
}

TEST(Writer, UnwritableOutputPathsAreRefusedWithADiagnostic)
{
    diag::CaptureScope cap;
    const QString folder = testenv::MakeTempFolder();
    testenv::WriteFile(folder + QStringLiteral("/plainfile"), "x");
    for (const QString &path : {folder + QStringLiteral("/plainfile/x.wma"), folder + QStringLiteral("/missing/x.wma"),
             folder, QString()}) {
        Recording rec;
        EXPECT_EQ(rec.Build(path, false), E_ACCESSDENIED) << path.toStdString();
        EXPECT_EQ(rec.writer, nullptr);
        std::vector<std::shared_ptr<Filter>> filters;
        rec.graph->EnumFilters(&filters);
        EXPECT_TRUE(filters.empty());
    }
    EXPECT_TRUE(cap.Contains(QStringLiteral("media: cannot write the file '%1/plainfile/x.wma'").arg(folder)));

    std::shared_ptr<IBaseFilter> writer;
    auto builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
    builder->SetFiltergraph(NewGraph());
    EXPECT_EQ(builder->SetOutputFileName(MEDIASUBTYPE_RGB24, folder + QStringLiteral("/x.avi"), &writer, nullptr),
        E_INVALIDARG);
}

TEST(Player, RenderFilePlaysToTheEndAndNotifiesThroughTheQueue)
{
    const QString path = Record(QStringLiteral("talk.wma"), false, 1200);
    ASSERT_FALSE(path.isEmpty());
    auto graph = NewGraph();
    ASSERT_EQ(graph->RenderFile(path), S_OK);
    std::vector<std::shared_ptr<Filter>> filters;
    graph->EnumFilters(&filters);
    EXPECT_EQ(filters.size(), 3u); // reader, WMA decoder, sound renderer

    NotifyCatcher catcher;
    ASSERT_EQ(graph->SetNotifyWindow(&catcher, WM_GRAPHNOTIFY, 42), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !catcher.received.isEmpty(); }, 5000));
    EXPECT_EQ(catcher.received.first().first, WM_GRAPHNOTIFY);
    EXPECT_EQ(catcher.received.first().second, 42);
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    ASSERT_EQ(graph->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(graph->FreeEventParams(code, p1, p2), S_OK);
    EXPECT_EQ(graph->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    graph->SetNotifyWindow(nullptr, 0, 0);
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST(Player, PositionsAndSeeksInMediaTimeAgreeWithTheFile)
{
    const QString path = Record(QStringLiteral("clip.wmv"), true, 2500);
    ASSERT_FALSE(path.isEmpty());
    const Discovered d = Discover(path);
    ASSERT_TRUE(d.ok);

    // The picture half of the player's graph: reader -> decoder -> grabber -> renderer.
    // (The sound half is left out: what the test machine offers as sound output
    // varies, and the picture alone answers for the position.)
    auto graph = NewGraph();
    std::shared_ptr<IFileSourceFilter> source;
    auto reader = Create<Filter>(CLSID_WMAsfReader);
    graph->AddFilter(reader, QStringLiteral("Pelk FileSoure Filter"));
    ASSERT_EQ(QueryInterface(reader, &source), S_OK);
    ASSERT_EQ(source->Load(path, nullptr), S_OK);
    std::vector<std::shared_ptr<Pin>> streams;
    reader->EnumPins(&streams);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0]->MajorType(), MEDIATYPE_Audio); // audio pins come first
    EXPECT_EQ(streams[1]->MajorType(), MEDIATYPE_Video);
    auto video = Create<Filter>(CLSID_DMOWrapperFilter);
    std::dynamic_pointer_cast<IDMOWrapperFilter>(video)->Init(CLSID_CWMVDecMediaObject, DMOCATEGORY_VIDEO_DECODER);
    auto grabber = Create<Filter>(CLSID_SampleGrabber);
    auto renderer = Create<Filter>(CLSID_VideoRenderer);
    for (auto f : {video, grabber, renderer})
        graph->AddFilter(f, QStringLiteral("f"));
    ASSERT_EQ(graph->Connect(streams[0], PinAt(video, 0)), VFW_E_CANNOT_CONNECT); // sound into the video decoder
    ASSERT_EQ(graph->Connect(streams[1], PinAt(video, 0)), S_OK);
    ASSERT_EQ(graph->Connect(PinAt(video, 1), PinAt(grabber, 0)), S_OK);
    ASSERT_EQ(graph->Connect(PinAt(grabber, 1), PinAt(renderer, 0)), S_OK);
    EXPECT_EQ(graph->SetTimeFormat(TIME_FORMAT_MEDIA_TIME), S_OK);
    ASSERT_EQ(graph->Pause(), S_OK);

    LONGLONG duration = 0;
    ASSERT_EQ(graph->GetDuration(&duration), S_OK);
    EXPECT_NEAR(double(duration) / UNITS, d.seconds, 0.05);
    LONGLONG target = LONGLONG(1.5 * UNITS);
    ASSERT_EQ(graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr,
                  AM_SEEKING_NoPositioning),
        S_OK);
    LONGLONG position = -1;
    ASSERT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_NEAR(double(position) / UNITS, 1.5, 0.05);
    target = 0;
    ASSERT_EQ(graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
    ASSERT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_LT(position, UNITS / 10);
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return graph->GetCurrentPosition(&position) == S_OK && position > UNITS / 5; }, 5000))
        << "it plays on from the start: " << position;
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST(Player, FilesThatAreNotAsfAreRefused)
{
    diag::CaptureScope cap;
    const QString folder = testenv::MakeTempFolder();
    const QString text = folder + QStringLiteral("/notes.wma");
    testenv::WriteFile(text, QByteArray(4096, 'x'));
    auto graph = NewGraph();
    EXPECT_EQ(graph->RenderFile(text), VFW_E_UNKNOWN_FILE_TYPE);
    EXPECT_TRUE(cap.Contains(QStringLiteral("media: cannot render '%1': not a Windows Media (ASF) file").arg(text)));
    EXPECT_EQ(graph->RenderFile(folder + QStringLiteral("/absent.wma")), VFW_E_NOT_FOUND);
    std::vector<std::shared_ptr<Filter>> filters;
    graph->EnumFilters(&filters);
    EXPECT_TRUE(filters.empty());
    EXPECT_TRUE(Failed(graph->Run()));

    // A file that starts like ASF but is cut short.
    const QString cut = folder + QStringLiteral("/cut.wma");
    QByteArray head("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    testenv::WriteFile(cut, head + QByteArray("\x00\x10\x00\x00\x00\x00\x00\x00", 8) + QByteArray(100, '\0'));
    std::shared_ptr<IFileSourceFilter> reader;
    ASSERT_EQ(CoCreateInstance(CLSID_WMAsfReader, &reader), S_OK);
    EXPECT_EQ(reader->Load(cut, nullptr), VFW_E_UNKNOWN_FILE_TYPE);
    EXPECT_EQ(graph->RenderFile(cut), VFW_E_UNKNOWN_FILE_TYPE);
}

TEST(Writer, AnErrorWhileRecordingIsReportedAndStopDoesNotWaitForIt)
{
    diag::CaptureScope cap;
    const QString path = testenv::MakeTempFolder() + QStringLiteral("/lost.wma");
    Recording rec;
    ASSERT_EQ(rec.Build(path, false), S_OK);
    ASSERT_TRUE(RunUntilRunning(*rec.graph));
    // The microphone goes away, as a device does when it is unplugged.
    std::vector<std::shared_ptr<Filter>> filters;
    rec.graph->EnumFilters(&filters);
    GstElement *mic = nullptr;
    for (const auto &f : filters)
        if (GstElement *src = SourceElementOf(f))
            mic = src;
    ASSERT_NE(mic, nullptr);
    GError *error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "device disappeared");
    gst_element_post_message(mic, gst_message_new_error(GST_OBJECT(mic), error, "unplugged"));
    g_error_free(error);
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    ASSERT_EQ(rec.graph->GetEvent(&code, &p1, &p2, LONG(2000 * testenv::TimeFactor())), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
    EXPECT_TRUE(Failed(static_cast<HRESULT>(p1)));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(rec.graph->Stop(), S_OK);
    EXPECT_LT(timer.elapsed(), testenv::Slack(1.5) * 1000);
    EXPECT_EQ(rec.graph->Stop(), S_OK);
    bool reported = false;
    for (const QString &line : cap.Lines())
        reported |= line.startsWith(QStringLiteral("media: error from audiotestsrc")) && line.contains(QStringLiteral("device disappeared"));
    EXPECT_TRUE(reported) << cap.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(cap.Contains(QStringLiteral("media: the graph failed while writing; the file is closed as it is")));
}
