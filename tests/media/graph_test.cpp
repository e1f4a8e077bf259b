// The graph's bookkeeping: names, pins, interfaces, the factory and its
// failure codes. No pipeline runs here.
#include "media_test_util.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/gst_util.h"
#include "platform/media/graph_notify_event.h"

#include <gtest/gtest.h>
#include <unordered_set>

using namespace media;
using namespace mediatest;

TEST(Guid, ParsesPrintsComparesAndHashes)
{
    const Guid g = Guid::FromString(QStringLiteral("{0b4db334-3824-4ead-a6ee-bffb61ef5554}"));
    EXPECT_EQ(g, CLSID_MicArraySource);
    EXPECT_EQ(g.ToString(), QStringLiteral("{0B4DB334-3824-4EAD-A6EE-BFFB61EF5554}"));
    EXPECT_EQ(WMProfile_V80_700NTSCVideo.ToString(), QStringLiteral("{C8C2985F-E5D9-4538-9E23-9B21BF78F745}"));
    EXPECT_TRUE(Guid::FromString(QStringLiteral("{0B4DB334-3824-4EAD-A6EE-BFFB61EF555}")).IsNull());
    EXPECT_TRUE(Guid::FromString(QStringLiteral("not a guid at all, not a guid at all!!")).IsNull());
    EXPECT_NE(CLSID_SampleGrabber, CLSID_InfTee);
    std::unordered_set<Guid, GuidHash> set{CLSID_SampleGrabber, CLSID_InfTee, CLSID_SampleGrabber};
    EXPECT_EQ(set.size(), 2u);
}

TEST(MediaTypes, VideoInfoHeaderHasTheWindowsLayout)
{
    const AM_MEDIA_TYPE mt = MakeRgb24MediaType(321, 240);
    const VIDEOINFOHEADER *vih = mt.VideoInfo();
    ASSERT_NE(vih, nullptr);
    EXPECT_EQ(mt.cbFormat(), 88u);
    EXPECT_EQ(vih->bmiHeader.biSize, 40u);
    EXPECT_EQ(vih->bmiHeader.biSizeImage, 964u * 240u); // 963 bytes padded to 964
    AM_MEDIA_TYPE shortBlock = mt;
    shortBlock.format.resize(87);
    EXPECT_EQ(shortBlock.VideoInfo(), nullptr);
}

TEST(Graph, RepeatedNameSucceedsWithDuplicateCodeAndIsMadeUnique)
{
    auto graph = NewGraph();
    auto tee1 = Create<Filter>(CLSID_InfTee);
    auto tee2 = Create<Filter>(CLSID_InfTee);
    auto tee3 = Create<Filter>(CLSID_InfTee);
    EXPECT_EQ(graph->AddFilter(tee1, QStringLiteral("InfTee Filter")), S_OK);
    EXPECT_EQ(graph->AddFilter(tee2, QStringLiteral("InfTee Filter")), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(graph->AddFilter(tee3, QStringLiteral("InfTee Filter")), VFW_S_DUPLICATE_NAME);
    FILTER_INFO i1, i2, i3;
    tee1->QueryFilterInfo(&i1);
    tee2->QueryFilterInfo(&i2);
    tee3->QueryFilterInfo(&i3);
    EXPECT_EQ(i1.achName, QStringLiteral("InfTee Filter"));
    EXPECT_NE(i2.achName, i1.achName);
    EXPECT_NE(i3.achName, i2.achName);
    EXPECT_EQ(i2.pGraph, graph);
    std::shared_ptr<Filter> found;
    EXPECT_EQ(graph->FindFilterByName(i2.achName, &found), S_OK);
    EXPECT_EQ(found, tee2);
    EXPECT_EQ(graph->AddFilter(tee1, QStringLiteral("again")), E_INVALIDARG);
    EXPECT_EQ(graph->AddFilter(nullptr, QStringLiteral("x")), E_POINTER);
    EXPECT_EQ(graph->RemoveFilter(tee2), S_OK);
    EXPECT_EQ(graph->FindFilterByName(i2.achName, &found), VFW_E_NOT_FOUND);
    EXPECT_EQ(found, nullptr);
}

TEST(Graph, PinsEnumerateInOrderAndTheTeeGrowsOneOutputPerConnection)
{
    auto graph = NewGraph();
    auto camera = MakeTestCamera();
    auto tee = Create<Filter>(CLSID_InfTee);
    ASSERT_TRUE(camera && tee);
    graph->AddFilter(camera, QStringLiteral("Capture Filter"));
    graph->AddFilter(tee, QStringLiteral("InfTee Filter"));

    std::vector<std::shared_ptr<Pin>> pins;
    tee->EnumPins(&pins);
    ASSERT_EQ(pins.size(), 2u);
    EXPECT_EQ(pins[0]->Direction(), PINDIR_INPUT);
    EXPECT_EQ(pins[1]->Name(), QStringLiteral("Output1"));
    std::shared_ptr<Pin> peer;
    EXPECT_EQ(pins[1]->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);

    EXPECT_EQ(graph->Connect(PinAt(camera, 0), pins[0]), S_OK);
    EXPECT_EQ(graph->Connect(PinAt(camera, 0), pins[0]), VFW_E_ALREADY_CONNECTED);
    for (int i = 0; i < 3; ++i) {
        auto colour = Create<Filter>(CLSID_Colour);
        graph->AddFilter(colour, QStringLiteral("Color"));
        tee->EnumPins(&pins);
        ASSERT_EQ(pins.size(), size_t(2 + i));
        EXPECT_EQ(graph->Connect(pins.back(), PinAt(colour, 0)), S_OK);
        EXPECT_EQ(pins.back()->ConnectedTo(&peer), S_OK);
        EXPECT_EQ(peer, PinAt(colour, 0));
        EXPECT_EQ(peer->OwnerFilter(), colour);
    }
    tee->EnumPins(&pins);
    ASSERT_EQ(pins.size(), 5u);
    EXPECT_EQ(pins[4]->Name(), QStringLiteral("Output4"));
    EXPECT_FALSE(pins[4]->IsConnected());
}

TEST(Graph, ConnectRefusesWrongDirectionsFiltersOutsideAndIncompatibleStreams)
{
    auto graph = NewGraph();
    auto camera = MakeTestCamera();
    auto mic = MakeTestMicrophone();
    auto colour = Create<Filter>(CLSID_Colour);
    auto other = Create<Filter>(CLSID_Colour);
    graph->AddFilter(camera, QStringLiteral("Capture Filter"));
    graph->AddFilter(mic, QStringLiteral("Audio Capture Filter"));
    graph->AddFilter(colour, QStringLiteral("Color"));
    EXPECT_EQ(graph->Connect(PinAt(colour, 0), PinAt(camera, 0)), E_INVALIDARG);
    EXPECT_EQ(graph->Connect(PinAt(camera, 0), PinAt(other, 0)), VFW_E_NOT_IN_GRAPH);
    // Sound into a video converter: no converter can bridge that.
    EXPECT_EQ(graph->Connect(PinAt(mic, 0), PinAt(colour, 0)), VFW_E_CANNOT_CONNECT);
    EXPECT_FALSE(PinAt(mic, 0)->IsConnected());
    EXPECT_FALSE(PinAt(colour, 0)->IsConnected());
}

TEST(Graph, GraphAndFiltersAnswerForTheirInterfacesOnly)
{
    std::shared_ptr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, &graph), S_OK);
    std::shared_ptr<IMediaControl> control;
    std::shared_ptr<IMediaEventEx> events;
    std::shared_ptr<IMediaSeeking> seeking;
    EXPECT_EQ(QueryInterface(graph, &control), S_OK);
    EXPECT_EQ(QueryInterface(graph, &events), S_OK);
    EXPECT_EQ(QueryInterface(graph, &seeking), S_OK);
    std::shared_ptr<IVideoWindow> window;
    EXPECT_EQ(QueryInterface(graph, &window), E_NOINTERFACE);
    EXPECT_EQ(window, nullptr);

    std::shared_ptr<IBaseFilter> grabber;
    ASSERT_EQ(CoCreateInstance(CLSID_SampleGrabber, &grabber), S_OK);
    std::shared_ptr<ISampleGrabber> sg;
    EXPECT_EQ(QueryInterface(grabber, &sg), S_OK);
    EXPECT_EQ(QueryInterface(grabber, &window), E_NOINTERFACE);
    std::shared_ptr<IBaseFilter> none;
    EXPECT_EQ(QueryInterface(none, &sg), E_NOINTERFACE);
    EXPECT_EQ(QueryInterface<ISampleGrabber>(grabber, nullptr), E_POINTER);

    std::shared_ptr<IBaseFilter> renderer;
    ASSERT_EQ(CoCreateInstance(CLSID_VideoRenderer, &renderer), S_OK);
    std::shared_ptr<IBasicVideo> basic;
    EXPECT_EQ(QueryInterface(renderer, &window), S_OK);
    EXPECT_EQ(QueryInterface(renderer, &basic), S_OK);
}

TEST(Factory, EveryNamedClassCanBeMade)
{
    for (const Guid &clsid : {CLSID_FilterGraph, CLSID_CaptureGraphBuilder2, CLSID_SampleGrabber, CLSID_InfTee,
             CLSID_Colour, CLSID_VideoRenderer, CLSID_DSoundRender, CLSID_WMAsfWriter, CLSID_WMAsfReader,
             CLSID_DMOWrapperFilter}) {
        std::shared_ptr<IUnknown> object;
        EXPECT_EQ(CreateInstance(clsid, &object), S_OK) << clsid.ToString().toStdString();
        EXPECT_NE(object, nullptr);
    }
    // The microphone array takes its sound from the configured input.
    SetMicArrayInputFactory([] { return gst_element_factory_make("audiotestsrc", nullptr); });
    std::shared_ptr<IBaseFilter> mic;
    EXPECT_EQ(CoCreateInstance(CLSID_MicArraySource, &mic), S_OK);
    ASSERT_NE(mic, nullptr);
    std::shared_ptr<Pin> out;
    EXPECT_EQ(mic->FindPin(QStringLiteral("out0"), &out), S_OK);
    EXPECT_EQ(out->Direction(), PINDIR_OUTPUT);
    EXPECT_EQ(out->MajorType(), MEDIATYPE_Audio);
    SetMicArrayInputFactory(nullptr);
}

TEST(Factory, UnknownClassesAndMissingPluginsFailWithADiagnostic)
{
    diag::CaptureScope cap;
    std::shared_ptr<IUnknown> object;
    EXPECT_EQ(CreateInstance(Guid::Parse("{00000000-1111-2222-3333-444444444444}"), &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    {
        ScopedMissingElement missing("avenc_wmv2");
        EXPECT_EQ(CreateInstance(CLSID_WMAsfWriter, &object), REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object, nullptr);
        EXPECT_TRUE(cap.Contains(
            QStringLiteral("media: GStreamer element 'avenc_wmv2' is not available (plugin not installed?)")));
    }
    {
        // The audio decoder object stands for its whole family: it cannot be
        // made only when none of the family is installed.
        ScopedMissingElement wma1("avdec_wmav1"), wma2("avdec_wmav2"), pro("avdec_wmapro"),
            lossless("avdec_wmalossless");
        std::shared_ptr<IDMOWrapperFilter> dmo;
        ASSERT_EQ(CoCreateInstance(CLSID_DMOWrapperFilter, &dmo), S_OK);
        EXPECT_EQ(dmo->Init(CLSID_CWMADecMediaObject, DMOCATEGORY_AUDIO_DECODER), REGDB_E_CLASSNOTREG);
        EXPECT_TRUE(cap.Contains(QStringLiteral("media: no decoder of the family of avdec_wmav1 is installed (gst-libav?)")));
        EXPECT_EQ(dmo->Init(CLSID_CWMADecMediaObject, DMOCATEGORY_VIDEO_DECODER), REGDB_E_CLASSNOTREG);
    }
    {
        ScopedMissingElement missing("avdec_wmav2");
        std::shared_ptr<IDMOWrapperFilter> dmo;
        ASSERT_EQ(CoCreateInstance(CLSID_DMOWrapperFilter, &dmo), S_OK);
        EXPECT_EQ(dmo->Init(CLSID_CWMADecMediaObject, DMOCATEGORY_AUDIO_DECODER), S_OK);
    }
    {
        ScopedMissingElement missing("videoconvert");
        std::shared_ptr<IBaseFilter> colour;
        EXPECT_EQ(CoCreateInstance(CLSID_Colour, &colour), REGDB_E_CLASSNOTREG);
    }
    std::shared_ptr<IBaseFilter> ok;
    EXPECT_EQ(CoCreateInstance(CLSID_Colour, &ok), S_OK);
}

TEST(Graph, GetEventTimesOutWhenNothingIsQueued)
{
    auto graph = NewGraph();
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(graph->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    EXPECT_EQ(graph->GetEvent(&code, &p1, &p2, 100), E_ABORT);
    EXPECT_GE(timer.elapsed(), 90);
    EXPECT_EQ(graph->GetEvent(nullptr, &p1, &p2, 0), E_POINTER);
}

TEST(Graph, StoppingAStoppedOrEmptyGraphIsHarmless)
{
    auto graph = NewGraph();
    EXPECT_EQ(graph->Stop(), S_OK);
    EXPECT_EQ(graph->Stop(), S_OK);
    OAFilterState state = -1;
    EXPECT_EQ(graph->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    diag::CaptureScope cap;
    EXPECT_TRUE(Failed(graph->Run())); // nothing to run
    EXPECT_TRUE(cap.Contains(QStringLiteral("media: Run on a graph without filters")));
}
