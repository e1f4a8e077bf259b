// Media layer figures, run by hand:
//   media_bench [seconds [--hidden]]   (default 10; --hidden: windows not shown)
// 1. CPU seconds of a live 320x240 30 fps camera -> tee -> two colour
//    converters + renderers and a converter -> grabber -> renderer, built
//    through the filter graph with its three video windows shown (offscreen
//    platform by default), against gst-launch-1.0 running the same elements
//    with fakesinks where the layer has windows, for the same time.
// 2. Cost of one GetCurrentBuffer copy of a 320x240 frame (mean of 2000).
#include "platform/media/factory.h"
#include "platform/media/graph.h"
#include "platform/media/source_filter.h"
#include "platform/media/video_renderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>
#include <gst/gst.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

using namespace media;

extern char **environ;

namespace {

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::shared_ptr<Pin> PinAt(const std::shared_ptr<Filter> &f, size_t i)
{
    std::vector<std::shared_ptr<Pin>> pins;
    f->EnumPins(&pins);
    return i < pins.size() ? pins[i] : nullptr;
}

template <class T>
std::shared_ptr<T> Make(const Guid &clsid)
{
    std::shared_ptr<T> object;
    CoCreateInstance(clsid, &object);
    return object;
}

bool g_showWindows = true;

struct LayerGraph {
    std::shared_ptr<Graph> graph = Make<Graph>(CLSID_FilterGraph);
    std::shared_ptr<ISampleGrabber> grabber;
    std::vector<std::shared_ptr<IVideoWindow>> windows;
    std::vector<std::unique_ptr<QWidget>> hosts;

    bool Build()
    {
        GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
        g_object_set(src, "is-live", TRUE, nullptr);
        SourceOptions options;
        options.currentFormat = QStringLiteral("video/x-raw,width=320,height=240,framerate=30/1");
        auto camera = MakeSourceFilter(src, options);
        auto tee = Make<Filter>(CLSID_InfTee);
        auto grabberFilter = Make<Filter>(CLSID_SampleGrabber);
        graph->AddFilter(camera, QStringLiteral("Capture Filter"));
        graph->AddFilter(tee, QStringLiteral("InfTee Filter"));
        graph->AddFilter(grabberFilter, QStringLiteral("SampleGrabber Filter"));
        QueryInterface(grabberFilter, &grabber);
        if (Failed(graph->Connect(PinAt(camera, 0), PinAt(tee, 0))))
            return false;
        for (int view = 0; view < 3; ++view) {
            auto colour = Make<Filter>(CLSID_Colour);
            auto renderer = Make<Filter>(CLSID_VideoRenderer);
            graph->AddFilter(colour, QStringLiteral("Color Filter"));
            graph->AddFilter(renderer, QStringLiteral("VideoRenderer Filter"));
            std::vector<std::shared_ptr<Pin>> teePins;
            tee->EnumPins(&teePins);
            bool ok = Succeeded(graph->Connect(teePins.back(), PinAt(colour, 0)));
            if (view < 2) {
                ok = ok && Succeeded(graph->Connect(PinAt(colour, 1), PinAt(renderer, 0)));
            } else {
                ok = ok && Succeeded(graph->Connect(PinAt(colour, 1), PinAt(grabberFilter, 0)))
                    && Succeeded(graph->Connect(PinAt(grabberFilter, 1), PinAt(renderer, 0)));
            }
            if (!ok)
                return false;
            auto host = std::make_unique<QWidget>();
            host->resize(336, 252);
            host->show();
            std::shared_ptr<IVideoWindow> window;
            QueryInterface(renderer, &window);
            window->put_Owner(host.get());
            window->SetWindowPosition(0, 0, 336, 252);
            window->put_Visible(g_showWindows ? OATRUE : OAFALSE);
            windows.push_back(window);
            hosts.push_back(std::move(host));
        }
        grabber->SetBufferSamples(1);
        return true;
    }
};

double RunLayer(double seconds)
{
    LayerGraph g;
    if (!g.Build() || Failed(g.graph->Run()))
        return -1;
    const double cpu0 = ProcessCpuSeconds();
    // The dialog thread's event loop, as in the program.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = ProcessCpuSeconds() - cpu0;
    g.graph->Stop();
    return cpu;
}

double RunLaunch(double seconds)
{
    const std::vector<std::string> args = {"gst-launch-1.0", "-q", "videotestsrc", "is-live=true", "!",
        "video/x-raw,width=320,height=240,framerate=30/1", "!", "tee", "name=t",
        "t.", "!", "queue", "!", "videoconvert", "!", "video/x-raw,format=BGRx", "!", "fakesink", "sync=true",
        "t.", "!", "queue", "!", "videoconvert", "!", "video/x-raw,format=BGRx", "!", "fakesink", "sync=true",
        "t.", "!", "queue", "!", "videoconvert", "!", "video/x-raw,format=BGR", "!", "identity", "!", "fakesink",
        "sync=true"};
    std::vector<char *> argv;
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "gst-launch-1.0", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    QThread::msleep(static_cast<unsigned long>(seconds * 1000));
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
        + usage.ru_stime.tv_usec / 1e6;
}

double GetCurrentBufferMicros()
{
    LayerGraph g;
    if (!g.Build() || Failed(g.graph->Run()))
        return -1;
    LONG size = 0;
    QElapsedTimer wait;
    wait.start();
    while (Failed(g.grabber->GetCurrentBuffer(&size, nullptr)) && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::vector<unsigned char> buffer(size);
    const int rounds = 2000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        LONG capacity = size;
        g.grabber->GetCurrentBuffer(&capacity, buffer.data());
    }
    const double micros = timer.nsecsElapsed() / 1000.0 / rounds;
    g.graph->Stop();
    return micros;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    g_showWindows = !(argc > 2 && QByteArray(argv[2]) == "--hidden");

    const double layer = RunLayer(seconds);
    const double launch = RunLaunch(seconds);
    std::printf("graph CPU over %.0f s: layer %.2f s, gst-launch-1.0 %.2f s, ratio %.2f (goal <= 1.15)\n", seconds,
        layer, launch, launch > 0 ? layer / launch : 0.0);
    const double copy = GetCurrentBufferMicros();
    std::printf("GetCurrentBuffer 320x240 copy: %.1f us (goal <= 100 us)\n", copy);
    return layer < 0 || launch < 0 || copy < 0 ? 1 : 0;
}
