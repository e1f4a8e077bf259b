#pragma once
// Reading back recorded sound: decode a file to mono samples and find its
// dominant frequency and loudness, independently of the player under test.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QFile>
#include <QString>
#include <cmath>
#include <numbers>
#include <vector>

namespace audiotest {

struct Decoded {
    bool ok = false;
    int rate = 0;
    std::vector<float> samples; // mono
};

// Decodes path with GStreamer's own elements (not our graph), waiting at most 20 s.
inline Decoded DecodeMono(const QString &path, int rate = 44100)
{
    Decoded out;
    const QByteArray location = QFile::encodeName(path).replace('"', "\\\"");
    const QByteArray description = "filesrc location=\"" + location
        + "\" ! decodebin ! audioconvert ! audioresample ! audio/x-raw,format=F32LE,channels=1,rate="
        + QByteArray::number(rate) + " ! appsink name=sink sync=false";
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.constData(), &error);
    g_clear_error(&error);
    if (!pipeline)
        return out;
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    for (;;) {
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_SECOND);
        if (!sample)
            break;
        GstMapInfo map;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *f = reinterpret_cast<const float *>(map.data);
            out.samples.insert(out.samples.end(), f, f + map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    out.ok = gst_app_sink_is_eos(GST_APP_SINK(sink)) && !out.samples.empty();
    out.rate = rate;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return out;
}

inline double Rms(const std::vector<float> &s, size_t from = 0, size_t count = SIZE_MAX)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < s.size() && n < count; ++i, ++n)
        sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / n) : 0;
}

// Power of one frequency in a block (Goertzel).
inline double PowerAt(const float *x, size_t n, int rate, double hz)
{
    const double k = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < n; ++i) {
        const double s0 = x[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// The strongest frequency between 50 Hz and 4 kHz in one second from the
// middle of the sound, to the nearest hertz; 0 when there is not enough sound.
inline double DominantFrequency(const Decoded &d)
{
    const size_t n = size_t(d.rate);
    if (!d.ok || d.samples.size() < n)
        return 0;
    const float *block = d.samples.data() + (d.samples.size() - n) / 2;
    double best = 0, bestHz = 0;
    for (int hz = 50; hz <= 4000; hz += 10)
        if (const double p = PowerAt(block, n, d.rate, hz); p > best)
            best = p, bestHz = hz;
    for (double hz = bestHz - 10; hz <= bestHz + 10; hz += 1)
        if (const double p = PowerAt(block, n, d.rate, hz); p > best)
            best = p, bestHz = hz;
    return bestHz;
}

} // namespace audiotest
