// Real camera graphs on a live test pattern: the grabber's frames in the
// Windows layout, and the Qt video windows that show them.
#include "media_test_util.h"

#include "platform/media/gst_util.h"
#include "platform/media/video_renderer.h"

#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

using namespace media;
using namespace mediatest;

namespace {

struct Bgr {
    int b, g, r;
};

::testing::AssertionResult Near(const std::uint8_t *p, Bgr want)
{
    const int tol = 16;
    if (std::abs(p[0] - want.b) <= tol && std::abs(p[1] - want.g) <= tol && std::abs(p[2] - want.r) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got BGR " << int(p[0]) << "," << int(p[1]) << "," << int(p[2])
                                         << " want " << want.b << "," << want.g << "," << want.r;
}

bool NearColor(QRgb c, int r, int g, int b)
{
    return std::abs(qRed(c) - r) <= 24 && std::abs(qGreen(c) - g) <= 24 && std::abs(qBlue(c) - b) <= 24;
}

// camera -> tee -> (colour -> renderer) x2, tee -> colour -> grabber -> renderer.
struct CameraGraph {
    std::shared_ptr<Graph> graph = NewGraph();
    std::shared_ptr<Filter> camera = MakeTestCamera();
    std::shared_ptr<Filter> tee = Create<Filter>(CLSID_InfTee);
    std::shared_ptr<Filter> grabberFilter = Create<Filter>(CLSID_SampleGrabber);
    std::shared_ptr<ISampleGrabber> grabber;
    std::vector<std::shared_ptr<Filter>> renderers;

    HRESULT Build()
    {
        graph->AddFilter(camera, QStringLiteral("Capture Filter"));
        graph->AddFilter(tee, QStringLiteral("InfTee Filter"));
        graph->AddFilter(grabberFilter, QStringLiteral("SampleGrabber Filter"));
        QueryInterface(grabberFilter, &grabber);
        AM_MEDIA_TYPE mt;
        mt.majortype = MEDIATYPE_Video;
        mt.subtype = MEDIASUBTYPE_RGB24;
        HRESULT hr = grabber->SetMediaType(&mt);
        if (Failed(hr))
            return hr;
        if (Failed(hr = graph->Connect(PinAt(camera, 0), PinAt(tee, 0))))
            return hr;
        for (int view = 0; view < 3; ++view) {
            auto colour = Create<Filter>(CLSID_Colour);
            auto renderer = Create<Filter>(CLSID_VideoRenderer);
            graph->AddFilter(colour, QStringLiteral("Color Filter"));
            graph->AddFilter(renderer, QStringLiteral("VideoRenderer Filter"));
            std::vector<std::shared_ptr<Pin>> teePins;
            tee->EnumPins(&teePins);
            if (Failed(hr = graph->Connect(teePins.back(), PinAt(colour, 0))))
                return hr;
            if (view < 2) {
                hr = graph->Connect(PinAt(colour, 1), PinAt(renderer, 0));
            } else {
                hr = graph->Connect(PinAt(colour, 1), PinAt(grabberFilter, 0));
                if (Succeeded(hr))
                    hr = graph->Connect(PinAt(grabberFilter, 1), PinAt(renderer, 0));
            }
            if (Failed(hr))
                return hr;
            renderers.push_back(renderer);
        }
        grabber->SetBufferSamples(1);
        grabber->SetOneShot(0);
        return S_OK;
    }
    bool WaitForFrame()
    {
        return WaitUntil([this] {
            LONG size = 0;
            return Succeeded(grabber->GetCurrentBuffer(&size, nullptr));
        });
    }
};


// The whole view (its renderer behind the grabber) and a side view, each
// given a shown host of the camera's frame size.
struct WholeAndSideViews {
    explicit WholeAndSideViews(CameraGraph &g)
    {
        for (QWidget *host : {&wholeHost, &sideHost}) {
            host->resize(320, 240);
            host->show();
        }
        QueryInterface(g.renderers[2], &whole);
        QueryInterface(g.renderers[0], &side);
    }
    QWidget wholeHost, sideHost;
    std::shared_ptr<IVideoWindow> whole, side;
};

} // namespace

TEST(Frames, GrabbedFrameHasTheBitmapLayoutBottomUp)
{
    CameraGraph g;
    ASSERT_EQ(g.Build(), S_OK);

    // Connected before running: the capped camera already fixes the size.
    AM_MEDIA_TYPE mt;
    ASSERT_EQ(g.grabber->GetConnectedMediaType(&mt), S_OK);
    EXPECT_EQ(mt.formattype, FORMAT_VideoInfo);
    ASSERT_GE(mt.cbFormat(), 88u);
    BITMAPINFOHEADER bmi;
    std::memcpy(&bmi, mt.pbFormat() + 48, sizeof bmi);
    EXPECT_EQ(bmi.biSize, 40u);
    EXPECT_EQ(bmi.biWidth, 320);
    EXPECT_EQ(bmi.biHeight, 240);
    EXPECT_EQ(bmi.biPlanes, 1);
    EXPECT_EQ(bmi.biBitCount, 24);
    EXPECT_EQ(bmi.biCompression, BI_RGB);
    EXPECT_EQ(bmi.biSizeImage, 230400u);

    LONG size = 0;
    EXPECT_EQ(g.grabber->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE); // no frame yet
    ASSERT_EQ(g.graph->Run(), S_OK);
    ASSERT_TRUE(g.WaitForFrame());
    ASSERT_EQ(g.grabber->GetCurrentBuffer(&size, nullptr), S_OK);
    EXPECT_EQ(size, 230400);

    std::vector<std::uint8_t> small(1000);
    LONG smallSize = static_cast<LONG>(small.size());
    EXPECT_EQ(g.grabber->GetCurrentBuffer(&smallSize, small.data()), E_OUTOFMEMORY);
    EXPECT_EQ(g.grabber->GetCurrentBuffer(nullptr, small.data()), E_POINTER);

    std::vector<std::uint8_t> frame(size);
    LONG copied = size;
    ASSERT_EQ(g.grabber->GetCurrentBuffer(&copied, frame.data()), S_OK);
    EXPECT_EQ(copied, 230400);
    auto at = [&](int x, int row) { return frame.data() + row * 960 + x * 3; };
    // SMPTE bars: the picture's top row is the buffer's last row.
    EXPECT_TRUE(Near(at(10, 239), {255, 255, 255}));  // white
    EXPECT_TRUE(Near(at(60, 239), {0, 255, 255}));    // yellow
    EXPECT_TRUE(Near(at(100, 239), {255, 255, 0}));   // cyan
    EXPECT_TRUE(Near(at(240, 239), {0, 0, 255}));     // red
    EXPECT_TRUE(Near(at(300, 239), {255, 0, 0}));     // blue
    EXPECT_TRUE(Near(at(10, 239 - 170), {255, 0, 0})); // the reversed bars below
    EXPECT_TRUE(Near(at(60, 239 - 170), {0, 0, 0}));
    EXPECT_TRUE(Near(at(60, 0), {255, 255, 255}));     // the picture's bottom row
    EXPECT_TRUE(Near(at(10, 0), {128, 0, 0}));

    EXPECT_EQ(g.graph->Stop(), S_OK);
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

TEST(Frames, OddWidthRowsArePaddedToFourBytes)
{
    auto graph = NewGraph();
    auto camera = MakeTestCamera("white", "video/x-raw,width=161,height=120,framerate=30/1");
    auto grabberFilter = Create<Filter>(CLSID_SampleGrabber);
    auto renderer = Create<Filter>(CLSID_VideoRenderer);
    graph->AddFilter(camera, QStringLiteral("cam"));
    graph->AddFilter(grabberFilter, QStringLiteral("grab"));
    graph->AddFilter(renderer, QStringLiteral("render"));
    // No colour converter: the graph inserts one itself (intelligent connect).
    ASSERT_EQ(graph->Connect(PinAt(camera, 0), PinAt(grabberFilter, 0)), S_OK);
    ASSERT_EQ(graph->Connect(PinAt(grabberFilter, 1), PinAt(renderer, 0)), S_OK);
    std::shared_ptr<ISampleGrabber> grabber;
    QueryInterface(grabberFilter, &grabber);
    grabber->SetBufferSamples(1);
    ASSERT_EQ(graph->Run(), S_OK);
    LONG size = 0;
    ASSERT_TRUE(WaitUntil([&] { return Succeeded(grabber->GetCurrentBuffer(&size, nullptr)); }));
    EXPECT_EQ(size, 484 * 120); // 161 * 3 = 483, padded to 484
    std::vector<std::uint8_t> frame(size, 0x55);
    ASSERT_EQ(grabber->GetCurrentBuffer(&size, frame.data()), S_OK);
    for (int row : {0, 60, 119}) {
        EXPECT_TRUE(Near(&frame[row * 484 + 160 * 3], {255, 255, 255})) << "row " << row;
        EXPECT_EQ(frame[row * 484 + 483], 0) << "padding of row " << row;
    }
    AM_MEDIA_TYPE mt;
    ASSERT_EQ(grabber->GetConnectedMediaType(&mt), S_OK);
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biSizeImage, 484u * 120u);
}

TEST(Frames, NotBufferingOrOneShotActAsNamed)
{
    auto graph = NewGraph();
    auto camera = MakeTestCamera("ball");
    auto grabberFilter = Create<Filter>(CLSID_SampleGrabber);
    auto renderer = Create<Filter>(CLSID_VideoRenderer);
    graph->AddFilter(camera, QStringLiteral("cam"));
    graph->AddFilter(grabberFilter, QStringLiteral("grab"));
    graph->AddFilter(renderer, QStringLiteral("render"));
    ASSERT_EQ(graph->Connect(PinAt(camera, 0), PinAt(grabberFilter, 0)), S_OK);
    ASSERT_EQ(graph->Connect(PinAt(grabberFilter, 1), PinAt(renderer, 0)), S_OK);
    std::shared_ptr<ISampleGrabber> grabber;
    QueryInterface(grabberFilter, &grabber);
    ASSERT_EQ(graph->Run(), S_OK);
    QThread::msleep(300);
    LONG size = 0;
    EXPECT_EQ(grabber->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE); // not buffering

    grabber->SetOneShot(1);
    ASSERT_TRUE(WaitUntil([&] { return Succeeded(grabber->GetCurrentBuffer(&size, nullptr)); }));
    std::vector<std::uint8_t> first(size), later(size);
    grabber->GetCurrentBuffer(&size, first.data());
    QThread::msleep(200); // the ball moves, but one shot keeps the first frame
    grabber->GetCurrentBuffer(&size, later.data());
    EXPECT_EQ(first, later);
}

TEST(Frames, VideoWindowsShowTheSourceRectangleInsideTheirHost)
{
    CameraGraph g;
    ASSERT_EQ(g.Build(), S_OK);
    WholeAndSideViews views(g);
    QWidget &wholeHost = views.wholeHost, &sideHost = views.sideHost;
    auto &whole = views.whole, &side = views.side;
    for (auto [w, host, pos] : {std::tuple{whole, &wholeHost, 0}, std::tuple{side, &sideHost, 600}}) {
        ASSERT_EQ(w->put_Owner(host), S_OK);
        w->put_WindowStyle(WS_CHILD | WS_CLIPCHILDREN);
        w->SetWindowPosition(pos, pos, 320, 240);
        ASSERT_EQ(w->put_Visible(OATRUE), S_OK);
        w->put_MessageDrain(host);
    }
    LONG visible = 0;
    EXPECT_EQ(whole->get_Visible(&visible), S_OK);
    EXPECT_EQ(visible, OATRUE);
    LONG l, t, wdt, hgt;
    side->GetWindowPosition(&l, &t, &wdt, &hgt);
    EXPECT_EQ(l, 600);
    EXPECT_EQ(wdt, 320);

    std::shared_ptr<IBasicVideo> basic;
    QueryInterface(g.renderers[2], &basic);
    // Default source: the whole frame, known from the capped camera.
    ASSERT_EQ(basic->GetSourcePosition(&l, &t, &wdt, &hgt), S_OK);
    EXPECT_EQ(QRect(l, t, wdt, hgt), QRect(0, 0, 320, 240));
    ASSERT_EQ(g.graph->Run(), S_OK);
    auto renderer = std::dynamic_pointer_cast<VideoRenderer>(g.renderers[2]);
    ASSERT_TRUE(WaitUntil([&] { return renderer->FramesRendered() > 2; }));

    QImage shot = wholeHost.grab().toImage();
    EXPECT_TRUE(NearColor(shot.pixel(60, 20), 255, 255, 0)) << std::hex << shot.pixel(60, 20); // yellow bar
    EXPECT_TRUE(NearColor(shot.pixel(240, 20), 255, 0, 0));                                       // red bar
    // The side view lies at (600, 600): outside its host, nothing of it is seen.
    QImage sideShot = sideHost.grab().toImage();
    EXPECT_FALSE(NearColor(sideShot.pixel(60, 20), 255, 255, 0));

    // Zoom the whole view into the red bar.
    EXPECT_EQ(basic->SetSourcePosition(230, 10, 20, 20), S_OK);
    EXPECT_EQ(basic->SetSourcePosition(300, 10, 40, 20), E_INVALIDARG); // beyond the frame
    EXPECT_EQ(basic->SetSourcePosition(0, 0, 0, 20), E_INVALIDARG);
    basic->GetSourcePosition(&l, &t, &wdt, &hgt);
    EXPECT_EQ(QRect(l, t, wdt, hgt), QRect(230, 10, 20, 20));
    basic->GetDestinationPosition(&l, &t, &wdt, &hgt);
    EXPECT_EQ(QRect(l, t, wdt, hgt), QRect(0, 0, 320, 240));
    const long painted = renderer->FramesRendered();
    ASSERT_TRUE(WaitUntil([&] { return renderer->FramesRendered() > painted + 2; }));
    shot = wholeHost.grab().toImage();
    EXPECT_TRUE(NearColor(shot.pixel(10, 10), 255, 0, 0));
    EXPECT_TRUE(NearColor(shot.pixel(300, 220), 255, 0, 0));

    // Hiding and detaching.
    whole->put_Visible(OAFALSE);
    whole->put_Owner(nullptr);
    QWidget *owner = &wholeHost;
    whole->get_Owner(&owner);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

// Views of another size than the camera's frames, as in the dialog: the
// whole view a little larger, a side view narrower and zoomed into a part.
// Each picture fills its window; a new part chosen while the graph is paused
// shows at once, from the frame already there.
TEST(Frames, ViewsOfAnotherSizeAreFilledAndANewPartShowsWhilePaused)
{
    CameraGraph g;
    // Not live, so a paused graph holds one frame and makes no more.
    GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
    media::SourceOptions options;
    options.kind = media::SourceKind::Video;
    options.currentFormat = QStringLiteral("video/x-raw,width=320,height=240,framerate=30/1");
    g.camera = media::MakeSourceFilter(src, options);
    ASSERT_EQ(g.Build(), S_OK);
    WholeAndSideViews views(g);
    views.wholeHost.resize(336, 252);
    views.sideHost.resize(168, 252);
    views.whole->put_Owner(&views.wholeHost);
    views.whole->SetWindowPosition(0, 0, 336, 252);
    views.whole->put_Visible(OATRUE);
    views.side->put_Owner(&views.sideHost);
    views.side->SetWindowPosition(0, 0, 168, 252);
    views.side->put_Visible(OATRUE);
    std::shared_ptr<IBasicVideo> sideSource;
    QueryInterface(g.renderers[0], &sideSource);
    ASSERT_EQ(g.graph->Run(), S_OK);
    ASSERT_EQ(sideSource->SetSourcePosition(235, 10, 30, 40), S_OK); // inside the red bar
    auto whole = std::dynamic_pointer_cast<VideoRenderer>(g.renderers[2]);
    auto side = std::dynamic_pointer_cast<VideoRenderer>(g.renderers[0]);
    ASSERT_TRUE(WaitUntil([&] { return whole->FramesRendered() > 3 && side->FramesRendered() > 3; }));

    QImage shot = views.wholeHost.grab().toImage();
    EXPECT_TRUE(NearColor(shot.pixel(63, 20), 255, 255, 0)) << std::hex << shot.pixel(63, 20); // yellow
    EXPECT_TRUE(NearColor(shot.pixel(250, 20), 255, 0, 0)) << std::hex << shot.pixel(250, 20); // red
    // The last column and the last bar row are the frame's own, not an edge left black.
    EXPECT_TRUE(NearColor(shot.pixel(335, 150), 0, 0, 255)) << std::hex << shot.pixel(335, 150); // blue
    shot = views.sideHost.grab().toImage();
    for (QPoint p : {QPoint(0, 0), QPoint(167, 0), QPoint(0, 251), QPoint(167, 251), QPoint(84, 126)})
        EXPECT_TRUE(NearColor(shot.pixel(p), 255, 0, 0)) << p.x() << "," << p.y() << " " << std::hex << shot.pixel(p);

    ASSERT_TRUE(Succeeded(g.graph->Pause()));
    OAFilterState state = State_Running;
    ASSERT_EQ(g.graph->GetState(3000, &state), S_OK);
    ASSERT_EQ(state, State_Paused);
    ASSERT_EQ(sideSource->SetSourcePosition(55, 10, 30, 40), S_OK); // inside the yellow bar
    const auto yellow = [&] {
        const QImage paused = views.sideHost.grab().toImage();
        for (QPoint p : {QPoint(0, 0), QPoint(167, 251), QPoint(84, 126)})
            if (!NearColor(paused.pixel(p), 255, 255, 0))
                return false;
        return true;
    };
    EXPECT_TRUE(WaitUntil(yellow)) << std::hex << views.sideHost.grab().toImage().pixel(84, 126);
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

TEST(Frames, VideoWindowSettersFromAWorkerThreadNeverWaitForTheGuiThread)
{
    CameraGraph g;
    ASSERT_EQ(g.Build(), S_OK);
    QWidget host;
    host.resize(320, 240);
    host.show();
    std::shared_ptr<IVideoWindow> window;
    std::shared_ptr<IBasicVideo> basic;
    QueryInterface(g.renderers[1], &window);
    QueryInterface(g.renderers[1], &basic);
    ASSERT_EQ(g.graph->Run(), S_OK);
    // The GUI thread is blocked in join() below: a setter that waited for it would hang.
    std::thread worker([&] {
        window->put_Owner(&host);
        window->SetWindowPosition(0, 0, 160, 120);
        window->put_Visible(OATRUE);
        for (int i = 0; i < 200; ++i)
            basic->SetSourcePosition(i % 100, 0, 100, 100);
        window->SetWindowPosition(600, 600, 160, 120);
    });
    worker.join();
    LONG l, t, w, h;
    window->GetWindowPosition(&l, &t, &w, &h);
    EXPECT_EQ(QRect(l, t, w, h), QRect(600, 600, 160, 120));
    ASSERT_TRUE(WaitUntil([&] { return window->VideoWidget() != nullptr; }));
    WaitUntil([&] { return window->VideoWidget()->geometry() == QRect(600, 600, 160, 120); }, 1000);
    EXPECT_EQ(window->VideoWidget()->parentWidget(), &host);
    EXPECT_EQ(window->VideoWidget()->geometry(), QRect(600, 600, 160, 120));
    g.graph->Stop();
}

// A view out of sight has the camera's frames passed on untouched by its
// converter and paints none; brought into sight, it turns them into the
// pattern's colours itself.
TEST(Frames, AViewOutOfSightConvertsAndPaintsNothingAndShowsThePatternWhenBack)
{
    CameraGraph g;
    g.camera = MakeTestCamera("smpte", "video/x-raw,format=I420,width=320,height=240,framerate=30/1");
    ASSERT_EQ(g.Build(), S_OK);
    WholeAndSideViews views(g);
    QWidget &wholeHost = views.wholeHost, &sideHost = views.sideHost;
    auto &wholeWindow = views.whole, &sideWindow = views.side;
    for (auto [w, host, pos] : {std::tuple{wholeWindow, &wholeHost, 0}, std::tuple{sideWindow, &sideHost, 600}}) {
        ASSERT_EQ(w->put_Owner(host), S_OK);
        w->SetWindowPosition(pos, pos, 320, 240);
        ASSERT_EQ(w->put_Visible(OATRUE), S_OK);
    }
    ASSERT_EQ(g.graph->Run(), S_OK);
    auto whole = std::dynamic_pointer_cast<VideoRenderer>(g.renderers[2]);
    auto side = std::dynamic_pointer_cast<VideoRenderer>(g.renderers[0]);
    ASSERT_TRUE(WaitUntil([&] { return whole->FramesRendered() > 5; }));
    EXPECT_EQ(side->FramesRendered(), 0);
    CapsPtr caps(gst_pad_get_current_caps(PinAt(g.renderers[0], 0)->Pad()));
    ASSERT_TRUE(caps);
    EXPECT_STREQ(gst_structure_get_string(gst_caps_get_structure(caps.get(), 0), "format"), "I420");

    sideWindow->SetWindowPosition(0, 0, 320, 240);
    ASSERT_TRUE(WaitUntil([&] { return side->FramesRendered() > 2; }));
    const QImage shot = sideHost.grab().toImage();
    EXPECT_TRUE(NearColor(shot.pixel(10, 20), 255, 255, 255)) << std::hex << shot.pixel(10, 20); // white bar
    EXPECT_TRUE(NearColor(shot.pixel(60, 20), 255, 255, 0)) << std::hex << shot.pixel(60, 20);   // yellow
    EXPECT_TRUE(NearColor(shot.pixel(100, 20), 0, 255, 255)) << std::hex << shot.pixel(100, 20); // cyan
    EXPECT_TRUE(NearColor(shot.pixel(240, 20), 255, 0, 0)) << std::hex << shot.pixel(240, 20);   // red
    EXPECT_TRUE(NearColor(shot.pixel(300, 20), 0, 0, 255)) << std::hex << shot.pixel(300, 20);   // blue
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

namespace {

// Frames that reach a pad, counted on the streaming thread.
struct FrameCounter {
    explicit FrameCounter(GstPad *pad)
    {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, [](GstPad *, GstPadProbeInfo *, gpointer data) {
            ++*static_cast<std::atomic<long> *>(data);
            return GST_PAD_PROBE_OK;
        }, &count, nullptr);
    }
    std::atomic<long> count{0};
};

} // namespace

// The tee holds back the frames of a branch whose view is out of sight, so
// its queue and converter stay idle; a branch with a grabber keeps flowing
// when its view is hidden (tracking reads it), and a view brought back into
// sight gets frames again.
TEST(Frames, AViewOutOfSightGetsNoFramesFromTheTeeUnlessItsBranchGrabs)
{
    CameraGraph g;
    ASSERT_EQ(g.Build(), S_OK);
    QWidget host;
    host.resize(320, 240);
    host.show();
    std::vector<std::shared_ptr<IVideoWindow>> windows(3);
    for (size_t i = 0; i < 3; ++i) {
        QueryInterface(g.renderers[i], &windows[i]);
        ASSERT_EQ(windows[i]->put_Owner(&host), S_OK);
        const LONG pos = i == 2 ? 0 : 600; // the side views parked beyond the host
        windows[i]->SetWindowPosition(pos, pos, 320, 240);
        ASSERT_EQ(windows[i]->put_Visible(OATRUE), S_OK);
    }
    // Counted where each branch enters its view or grabber, before either drops anything.
    auto side = std::make_unique<FrameCounter>(PinAt(g.renderers[0], 0)->Pad());
    auto grabbed = std::make_unique<FrameCounter>(PinAt(g.grabberFilter, 0)->Pad());
    auto whole = std::dynamic_pointer_cast<VideoRenderer>(g.renderers[2]);
    ASSERT_EQ(g.graph->Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return whole->FramesRendered() > 3; }));

    const long sideBefore = side->count;
    const long painted = whole->FramesRendered();
    ASSERT_TRUE(WaitUntil([&] { return whole->FramesRendered() > painted + 10; }));
    EXPECT_EQ(side->count, sideBefore) << "a view out of sight was sent frames";

    windows[2]->put_Visible(OAFALSE);
    ASSERT_TRUE(WaitUntil([&] { return !whole->VideoWidget()->isVisible(); }));
    const long grabbedBefore = grabbed->count;
    EXPECT_TRUE(WaitUntil([&] { return grabbed->count > grabbedBefore + 10; }))
        << "the grabber starved while its view was hidden";

    auto sideRenderer = std::dynamic_pointer_cast<VideoRenderer>(g.renderers[0]);
    windows[0]->SetWindowPosition(0, 0, 320, 240);
    EXPECT_TRUE(WaitUntil([&] { return sideRenderer->FramesRendered() > 2; }));
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

namespace {

// A device that gives only one pixel format, as most webcams do, or (format
// null) any, as the test camera does; its format is probed, not given.
std::shared_ptr<Filter> ProbedCamera(const char *format)
{
    GstElement *bin = gst_bin_new(nullptr);
    GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    g_object_set(src, "is-live", TRUE, nullptr);
    CapsPtr caps(gst_caps_from_string(format ? QByteArray("video/x-raw,format=").append(format).constData()
                                             : "video/x-raw"));
    g_object_set(filter, "caps", caps.get(), nullptr);
    gst_bin_add_many(GST_BIN(bin), src, filter, nullptr);
    gst_element_link(src, filter);
    PadPtr pad(gst_element_get_static_pad(filter, "src"));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", pad.get()));
    SourceOptions options;
    return MakeSourceFilter(bin, options);
}

} // namespace

// What the views take never changes what the camera is asked for: a new size
// keeps the device's own format, and a camera offering any gives the grabber's.
TEST(Frames, CameraKeepsItsOwnFormatWhateverItsViewsTake)
{
    for (auto [offered, expected] : {std::pair<const char *, const char *>{"YUY2", "YUY2"}, {nullptr, "BGR"}}) {
        CameraGraph g;
        g.camera = ProbedCamera(offered);
        ASSERT_TRUE(g.camera);
        auto config = std::dynamic_pointer_cast<IAMStreamConfig>(PinAt(g.camera, 0));
        ASSERT_TRUE(config);
        const AM_MEDIA_TYPE capped = MakeRgb24MediaType(160, 120);
        ASSERT_EQ(config->SetFormat(&capped), S_OK);
        ASSERT_EQ(g.Build(), S_OK);
        ASSERT_EQ(g.graph->Run(), S_OK);
        ASSERT_TRUE(g.WaitForFrame());
        for (size_t view : {0, 1}) {
            // Each branch has its own queue: its first frame may come after the grabber's.
            GstPad *pad = PinAt(g.renderers[view], 0)->Pad();
            ASSERT_TRUE(WaitUntil([pad] { return CapsPtr(gst_pad_get_current_caps(pad)) != nullptr; }));
            CapsPtr caps(gst_pad_get_current_caps(pad));
            ASSERT_TRUE(caps);
            const GstStructure *s = gst_caps_get_structure(caps.get(), 0);
            EXPECT_STREQ(gst_structure_get_string(s, "format"), expected) << (offered ? offered : "any");
            int width = 0;
            gst_structure_get_int(s, "width", &width);
            EXPECT_EQ(width, 160);
        }
        EXPECT_EQ(g.graph->Stop(), S_OK);
    }
}
