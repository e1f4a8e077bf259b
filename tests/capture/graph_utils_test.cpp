// The graph utilities on real filters: codes for missing arguments, free-pin
// search in pin order, and a refused connection that leaves the graph as it was.
#include "capture/graph_utils.h"

#include "platform/media/factory.h"
#include "platform/media/filter.h"
#include "platform/media/source_filter.h"

#include <QCoreApplication>
#include <QWidget>
#include <gtest/gtest.h>

using namespace media;

namespace {

std::shared_ptr<Filter> TestCamera()
{
    GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
    g_object_set(src, "is-live", TRUE, nullptr);
    SourceOptions options;
    options.currentFormat = QStringLiteral("video/x-raw,width=320,height=240,framerate=30/1");
    return MakeSourceFilter(src, options);
}

// Every pin of every filter with the pin it is connected to (null when free).
std::vector<std::pair<std::shared_ptr<IPin>, std::shared_ptr<IPin>>> Snapshot(const std::shared_ptr<IGraphBuilder> &g)
{
    std::vector<std::pair<std::shared_ptr<IPin>, std::shared_ptr<IPin>>> out;
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    g->EnumFilters(&filters);
    for (const auto &f : filters) {
        std::vector<std::shared_ptr<IPin>> pins;
        f->EnumPins(&pins);
        for (const auto &p : pins) {
            std::shared_ptr<IPin> peer;
            p->ConnectedTo(&peer);
            out.emplace_back(p, peer);
        }
    }
    return out;
}

} // namespace

TEST(GraphUtils, CreateCaptureGraphBindsBuilderAndGraph)
{
    std::shared_ptr<IGraphBuilder> graph;
    std::shared_ptr<ICaptureGraphBuilder2> builder;
    EXPECT_EQ(CreateCaptureGraph(nullptr, &builder), E_POINTER);
    ASSERT_EQ(CreateCaptureGraph(&graph, &builder), S_OK);
    std::shared_ptr<IGraphBuilder> bound;
    EXPECT_EQ(builder->GetFiltergraph(&bound), S_OK);
    EXPECT_EQ(bound, graph);
}

TEST(GraphUtils, AddFilterByClsidReportsDuplicatesAndFailures)
{
    std::shared_ptr<IGraphBuilder> graph;
    std::shared_ptr<ICaptureGraphBuilder2> builder;
    CreateCaptureGraph(&graph, &builder);
    std::shared_ptr<IBaseFilter> a, b, c;
    EXPECT_EQ(AddFilterByClsid(graph, CLSID_InfTee, QStringLiteral("InfTee Filter"), &a), S_OK);
    EXPECT_EQ(AddFilterByClsid(graph, CLSID_DSoundRender, QStringLiteral("InfTee Filter"), &b), VFW_S_DUPLICATE_NAME);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(AddFilterByClsid(graph, Guid::Parse("{12345678-0000-0000-0000-000000000000}"), QStringLiteral("x"), &c),
        REGDB_E_CLASSNOTREG);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(AddFilterByClsid(graph, CLSID_InfTee, QStringLiteral("x"), nullptr), E_POINTER);
    EXPECT_EQ(AddFilterByClsid(nullptr, CLSID_InfTee, QStringLiteral("x"), &c), E_POINTER);
}

TEST(GraphUtils, ConnectFiltersUsesFreePinsAndRefusesWhenAllAreTaken)
{
    std::shared_ptr<IGraphBuilder> graph;
    std::shared_ptr<ICaptureGraphBuilder2> builder;
    CreateCaptureGraph(&graph, &builder);
    auto camera = TestCamera();
    graph->AddFilter(camera, QStringLiteral("Capture Filter"));
    std::shared_ptr<IBaseFilter> colour, grabber, renderer, colour2;
    AddFilterByClsid(graph, CLSID_Colour, QStringLiteral("Whole Color Filter"), &colour);
    AddFilterByClsid(graph, CLSID_SampleGrabber, QStringLiteral("SampleGrabber Filter"), &grabber);
    AddFilterByClsid(graph, CLSID_VideoRenderer, QStringLiteral("Whole VideoRenderer Filter"), &renderer);
    AddFilterByClsid(graph, CLSID_Colour, QStringLiteral("Right Color Filter"), &colour2);

    EXPECT_EQ(ConnectFilters(graph, camera, colour), S_OK);
    EXPECT_EQ(ConnectFilters(graph, colour, grabber), S_OK);
    EXPECT_EQ(ConnectFilters(graph, grabber, renderer), S_OK);
    std::shared_ptr<IPin> pin;
    EXPECT_EQ(FindFreePin(camera, PINDIR_OUTPUT, &pin), E_FAIL);
    EXPECT_EQ(FindFreePin(colour2, PINDIR_INPUT, &pin), S_OK);
    EXPECT_EQ(pin->Name(), QStringLiteral("Input"));

    const auto before = Snapshot(graph);
    EXPECT_EQ(ConnectFilters(graph, camera, colour2), E_FAIL);   // camera has no free output
    EXPECT_EQ(ConnectFilters(graph, colour, grabber), E_FAIL);   // both sides taken
    EXPECT_EQ(ConnectFilters(graph, grabber, renderer), E_FAIL);
    EXPECT_EQ(Snapshot(graph), before);
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    graph->EnumFilters(&filters);
    EXPECT_EQ(filters.size(), 5u);

    EXPECT_EQ(ConnectFilters(nullptr, camera, colour2), E_POINTER);
    EXPECT_EQ(ConnectFilters(graph, nullptr, colour2), E_POINTER);
    EXPECT_EQ(ConnectPinToFilter(graph, nullptr, colour2), E_POINTER);
}

TEST(GraphUtils, BindVideoWindowPlacesTheWindowInTheHost)
{
    std::shared_ptr<IGraphBuilder> graph;
    std::shared_ptr<ICaptureGraphBuilder2> builder;
    CreateCaptureGraph(&graph, &builder);
    std::shared_ptr<IBaseFilter> renderer, tee;
    AddFilterByClsid(graph, CLSID_VideoRenderer, QStringLiteral("Left VideoRenderer Filter"), &renderer);
    AddFilterByClsid(graph, CLSID_InfTee, QStringLiteral("InfTee Filter"), &tee);
    QWidget host;
    host.resize(168, 126);
    host.show();
    std::shared_ptr<IVideoWindow> window;
    EXPECT_EQ(BindVideoWindow(tee, &host, 0, 0, &window), E_NOINTERFACE);
    EXPECT_EQ(window, nullptr);
    ASSERT_EQ(BindVideoWindow(renderer, &host, 600, 600, &window), S_OK);
    ASSERT_NE(window, nullptr);
    LONG style = 0, visible = 0, l, t, w, h;
    window->get_WindowStyle(&style);
    EXPECT_EQ(style, 0x42000000);
    window->get_Visible(&visible);
    EXPECT_EQ(visible, OATRUE);
    window->GetWindowPosition(&l, &t, &w, &h);
    EXPECT_EQ(QRect(l, t, w, h), QRect(600, 600, 168, 126));
    ASSERT_NE(window->VideoWidget(), nullptr);
    EXPECT_EQ(window->VideoWidget()->parentWidget(), &host);
    // Outside the host's client area: not seen.
    EXPECT_FALSE(host.rect().intersects(window->VideoWidget()->geometry()));
    EXPECT_TRUE(window->VideoWidget()->testAttribute(Qt::WA_TransparentForMouseEvents));
}
