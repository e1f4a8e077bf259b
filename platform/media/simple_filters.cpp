#include "platform/media/simple_filters.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/gst_util.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <vector>

namespace media {
namespace {

// A PulseAudio or pipewire-pulse server to play to: the one PULSE_SERVER
// names, or the user's own socket.
bool SoundServerReachable()
{
    const QString named = qEnvironmentVariable("PULSE_SERVER");
    if (!named.isEmpty())
        return !named.startsWith(QLatin1String("unix:")) || QFileInfo::exists(named.mid(5));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/pulse/native"));
}

bool SoundCardPresent()
{
    QFile cards(QStringLiteral("/proc/asound/cards"));
    return cards.open(QIODevice::ReadOnly) && !cards.readAll().contains("no soundcards");
}

// With neither a sound server nor a card, the automatic sink would try every
// output library in turn and each prints its failure to the terminal; a
// clock-synced discarding sink plays the file silently and at its own pace.
const char *AudioOutputFactory()
{
    return SoundServerReachable() || SoundCardPresent() ? "autoaudiosink" : "fakesink";
}

// Builds factories[0] ! factories[1] ! ... inside filter; empty when one is missing.
std::vector<GstElement *> BuildChain(Filter &filter, std::initializer_list<const char *> factories)
{
    std::vector<GstElement *> chain;
    for (const char *factory : factories) {
        GstElement *e = MakeElement(factory);
        if (!e)
            return {};
        filter.AddToBin(e);
        if (!chain.empty() && !gst_element_link(chain.back(), e))
            return {};
        chain.push_back(e);
    }
    return chain;
}

PadPtr StaticPad(GstElement *e, const char *name) { return PadPtr(gst_element_get_static_pad(e, name)); }

// The sound server's own clock must not drive the graph. libpulse's timing
// interpolation gives a time near 2^64 when it is read within the transport
// latency after the stream is uncorked (a resume, or the end of a flushing
// seek), and the clock never comes back from that: positions freeze and the
// video waits for its frames forever. The graph runs on the system clock,
// and the sound output is placed against it once per start, its own clock
// read only while the stream is still corked.
void UseTheGraphsClock(GstBin *, GstElement *output, gpointer)
{
    GObjectClass *type = G_OBJECT_GET_CLASS(output);
    if (!g_object_class_find_property(type, "provide-clock") || !g_object_class_find_property(type, "slave-method"))
        return;
    gst_util_set_object_arg(G_OBJECT(output), "provide-clock", "false");
    gst_util_set_object_arg(G_OBJECT(output), "slave-method", "none");
}

} // namespace

ColourConverter::ColourConverter() : Filter(CLSID_Colour) {}

std::shared_ptr<ColourConverter> ColourConverter::Create(HRESULT *hr)
{
    auto f = std::shared_ptr<ColourConverter>(new ColourConverter());
    const auto chain = BuildChain(*f, {"videoconvert"});
    if (chain.empty()) {
        *hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    f->AddPin(PINDIR_INPUT, QStringLiteral("Input"), StaticPad(chain.front(), "sink").get(), MEDIATYPE_Video);
    f->AddPin(PINDIR_OUTPUT, QStringLiteral("XForm Out"), StaticPad(chain.back(), "src").get(), MEDIATYPE_Video);
    *hr = S_OK;
    return f;
}

AudioRenderer::AudioRenderer() : Filter(CLSID_DSoundRender) {}

std::shared_ptr<AudioRenderer> AudioRenderer::Create(HRESULT *hr)
{
    auto f = std::shared_ptr<AudioRenderer>(new AudioRenderer());
    const auto chain = BuildChain(*f, {"queue", "audioconvert", "audioresample", AudioOutputFactory()});
    if (chain.empty()) {
        *hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    g_object_set(chain.back(), "sync", TRUE, nullptr);
    // The automatic sink makes the real output when it gets ready.
    if (GST_IS_BIN(chain.back()))
        g_signal_connect(chain.back(), "element-added", G_CALLBACK(&UseTheGraphsClock), nullptr);
    f->AddPin(PINDIR_INPUT, QStringLiteral("Audio Input pin (rendered)"), StaticPad(chain.front(), "sink").get(),
        MEDIATYPE_Audio);
    *hr = S_OK;
    return f;
}

MicArraySource::MicArraySource() : Filter(CLSID_MicArraySource) {}

std::shared_ptr<MicArraySource> MicArraySource::Create(HRESULT *hr, GstElement *input)
{
    *hr = REGDB_E_CLASSNOTREG;
    if (!input)
        return nullptr;
    auto f = std::shared_ptr<MicArraySource>(new MicArraySource());
    f->AddToBin(input);
    // webrtcdsp works on 16-bit audio at 48 kHz; echo cancelling would need a
    // playback probe, which this source does not have.
    GstElementFactory *dspFactory = gst_element_factory_find("webrtcdsp");
    const bool withDsp = dspFactory != nullptr;
    if (dspFactory)
        gst_object_unref(dspFactory);
    const auto chain = withDsp
        ? BuildChain(*f, {"audioconvert", "audioresample", "capsfilter", "webrtcdsp", "audioconvert"})
        : BuildChain(*f, {"audioconvert", "audioresample"});
    if (chain.empty() || !gst_element_link(input, chain.front()))
        return nullptr;
    if (withDsp) {
        CapsPtr caps(gst_caps_from_string("audio/x-raw,format=S16LE,rate=48000,channels=1"));
        g_object_set(chain[2], "caps", caps.get(), nullptr);
        g_object_set(chain[3], "echo-cancel", FALSE, "noise-suppression", TRUE, "gain-control", TRUE, nullptr);
    } else {
        diag::OutputDebugString(QStringLiteral("media: webrtcdsp not available; microphone array without processing"));
    }
    f->AddPin(PINDIR_OUTPUT, QStringLiteral("out0"), StaticPad(chain.back(), "src").get(), MEDIATYPE_Audio,
        PIN_CATEGORY_CAPTURE);
    *hr = S_OK;
    return f;
}

} // namespace media
