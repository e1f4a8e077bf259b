#pragma once
// Helpers of the capture engine tests: virtual devices, host windows shaped
// like the dialog's, waiting with the event loop running, and reading back
// what a recording wrote.
#include "tests/support/test_environment.h"
#include "platform/devices/device_config.h"
#include "platform/media/filter.h"
#include "platform/media/interfaces.h"
#include "platform/media/source_filter.h"

#include <gst/pbutils/pbutils.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace capturetest {

// The camera (and microphone) the test asks for. Without PULSE_SERVER the
// microphone is a virtual tone, since the system has no other to offer.
inline devices::DeviceConfig Devices(const QString &camera, const QString &microphone = QString())
{
    QStringList args{QStringLiteral("--camera=") + camera};
    QString mic = microphone;
    if (mic.isEmpty() && qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        mic = QStringLiteral("test");
    if (!mic.isEmpty())
        args << QStringLiteral("--microphone=") + mic;
    return devices::DeviceConfig::Parse(args, QString(), QString());
}

inline bool WaitUntil(const std::function<bool()> &done, int ms = 3000) { return testenv::PumpUntil(done, ms); }

inline void Pump(int ms) { testenv::PumpFor(ms); }

// Waits (bounded, with the event loop running) until a started graph really
// runs: a loaded machine may take a while to start the sources, and a
// recording's length counts from there, not from the start call.
inline bool WaitUntilRunning(const std::shared_ptr<media::IGraphBuilder> &graph, int ms = 5000)
{
    std::shared_ptr<media::IMediaControl> control;
    if (!graph || Failed(media::QueryInterface(graph, &control)))
        return false;
    return WaitUntil([&] {
        media::OAFilterState state = media::State_Stopped;
        return control->GetState(0, &state) == S_OK && state == media::State_Running;
    }, ms);
}

// Records for a stretch of ms once the graph runs; false when it never ran.
inline bool RecordFor(const std::shared_ptr<media::IGraphBuilder> &graph, int ms)
{
    if (!WaitUntilRunning(graph))
        return false;
    Pump(ms);
    return true;
}

// A top-level window with the three view hosts of the dialog (whole 1022,
// left 1024, right 1023) side by side, shown on the offscreen platform.
struct Hosts {
    Hosts()
    {
        window.resize(700, 260);
        window.setStyleSheet(QStringLiteral("background: rgb(40, 80, 120)"));
        whole = new QWidget(&window);
        left = new QWidget(&window);
        right = new QWidget(&window);
        whole->setGeometry(0, 0, 336, 252);
        left->setGeometry(340, 0, 168, 252);
        right->setGeometry(512, 0, 168, 252);
        for (QWidget *w : {whole, left, right})
            w->setAttribute(Qt::WA_StyledBackground);
        window.show();
        Pump(50);
    }
    QWidget window;
    QWidget *whole;
    QWidget *left;
    QWidget *right;
};

// A live test-pattern camera of a given size, wrapped like a device.
inline std::shared_ptr<media::Filter> MakeCamera(int width, int height, int numBuffers = -1)
{
    GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
    g_object_set(src, "is-live", TRUE, "num-buffers", numBuffers, nullptr);
    media::SourceOptions options;
    options.kind = media::SourceKind::Video;
    options.currentFormat = QStringLiteral("video/x-raw,width=%1,height=%2,framerate=30/1").arg(width).arg(height);
    return media::MakeSourceFilter(src, options);
}

// The names of the graph's filters in the order they were added.
inline QStringList FilterNames(const std::shared_ptr<media::IGraphBuilder> &graph)
{
    std::vector<std::shared_ptr<media::IBaseFilter>> filters;
    graph->EnumFilters(&filters);
    QStringList names;
    for (const auto &f : filters)
        names << f->Name();
    return names;
}

// What GstDiscoverer reports about a written file.
struct FileInfo {
    bool ok = false;
    bool seekable = false;
    double seconds = 0;
    QString videoCaps;
    QString audioCaps;
};

inline FileInfo Discover(const QString &path)
{
    FileInfo info;
    GError *error = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(10 * GST_SECOND, &error);
    if (!discoverer) {
        g_clear_error(&error);
        return info;
    }
    gchar *uri = gst_filename_to_uri(path.toUtf8().constData(), nullptr);
    GstDiscovererInfo *result = gst_discoverer_discover_uri(discoverer, uri, &error);
    g_free(uri);
    g_clear_error(&error);
    if (result && gst_discoverer_info_get_result(result) == GST_DISCOVERER_OK) {
        info.ok = true;
        info.seekable = gst_discoverer_info_get_seekable(result);
        info.seconds = double(gst_discoverer_info_get_duration(result)) / GST_SECOND;
        auto capsOf = [](GList *streams) {
            QString text;
            if (streams) {
                GstCaps *caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(streams->data));
                gchar *s = gst_caps_to_string(caps);
                text = QString::fromUtf8(s);
                g_free(s);
                gst_caps_unref(caps);
            }
            gst_discoverer_stream_info_list_free(streams);
            return text;
        };
        info.videoCaps = capsOf(gst_discoverer_info_get_video_streams(result));
        info.audioCaps = capsOf(gst_discoverer_info_get_audio_streams(result));
    }
    if (result)
        gst_discoverer_info_unref(result);
    g_object_unref(discoverer);
    return info;
}

} // namespace capturetest
