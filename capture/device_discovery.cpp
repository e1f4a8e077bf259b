#include "capture/device_discovery.h"

#include "platform/devices/audio_input_line.h"
#include "platform/devices/device_enumerator.h"
#include "platform/devices/pulse_source.h"
#include "platform/media/factory.h"
#include "platform/media/filter.h"
#include "platform/ui/message_box.h"

using devices::ICreateDevEnum;
using devices::IEnumMoniker;
using devices::IMoniker;
using devices::IPropertyBag;

namespace {

struct DeviceClass {
    media::Guid category;
    QString filterName;
    QString missingText;
};

const DeviceClass kCamera{media::CLSID_VideoInputDeviceCategory, QStringLiteral("Capture Filter"),
                          QStringLiteral("Webcam device is not detected.!")};
const DeviceClass kMicrophone{media::CLSID_AudioInputDeviceCategory, QStringLiteral("Audio Capture Filter"),
                              QStringLiteral("Microphone device is not detected.!")};

// The enumerator of the class's devices; null when none could be had.
HRESULT EnumerateClass(const media::Guid &category, std::shared_ptr<IEnumMoniker> *monikers)
{
    devices::RegisterSystemDeviceEnum();
    std::shared_ptr<ICreateDevEnum> deviceEnum;
    HRESULT hr = media::CoCreateInstance(media::CLSID_SystemDeviceEnum, &deviceEnum);
    if (Failed(hr))
        return hr;
    return deviceEnum->CreateClassEnumerator(category, monikers, 0);
}

// A search that tried devices but placed none must not report success.
HRESULT NothingFound(HRESULT last) { return Succeeded(last) ? E_FAIL : last; }

HRESULT FindDevice(const DeviceClass &deviceClass, const std::shared_ptr<media::IGraphBuilder> &graph,
                   std::shared_ptr<media::IBaseFilter> *filter, QWidget *window)
{
    if (!graph || !filter)
        return E_POINTER;
    std::shared_ptr<IEnumMoniker> monikers;
    HRESULT hr = EnumerateClass(deviceClass.category, &monikers);
    if (!monikers) {
        ui::InformationBox(window, deviceClass.missingText);
        return S_FALSE;
    }
    std::shared_ptr<IMoniker> moniker;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        std::shared_ptr<IPropertyBag> bag;
        hr = moniker->BindToStorage(&bag);
        if (Failed(hr))
            continue;
        // A device qualifies by having either name; the name is not used.
        QString name;
        hr = bag->Read(QStringLiteral("Description"), &name);
        if (Failed(hr))
            hr = bag->Read(QStringLiteral("FriendlyName"), &name);
        if (Failed(hr))
            continue;
        hr = moniker->BindToObject(filter);
        if (Failed(hr))
            continue;
        return graph->AddFilter(*filter, deviceClass.filterName);
    }
    return NothingFound(hr);
}

} // namespace

HRESULT FindVideoDevice(const std::shared_ptr<media::IGraphBuilder> &graph,
                        std::shared_ptr<media::IBaseFilter> *camera, QWidget *window)
{
    return FindDevice(kCamera, graph, camera, window);
}

HRESULT FindAudioDevice(const std::shared_ptr<media::IGraphBuilder> &graph,
                        std::shared_ptr<media::IBaseFilter> *microphone, QWidget *window)
{
    return FindDevice(kMicrophone, graph, microphone, window);
}

HRESULT FindMicrophoneByName(const std::shared_ptr<media::IGraphBuilder> &graph,
                             std::shared_ptr<media::IBaseFilter> *microphone, const QString &wanted,
                             QWidget *window)
{
    if (!graph || !microphone)
        return E_POINTER;
    std::shared_ptr<IEnumMoniker> monikers;
    HRESULT hr = EnumerateClass(media::CLSID_AudioInputDeviceCategory, &monikers);
    if (Failed(hr))
        return hr;
    if (!monikers) {
        ui::InformationBox(window, kMicrophone.missingText);
        return S_FALSE;
    }
    std::shared_ptr<IMoniker> moniker;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        std::shared_ptr<IPropertyBag> bag;
        hr = moniker->BindToStorage(&bag);
        if (Failed(hr))
            continue;
        QString friendlyName;
        bag->Read(QStringLiteral("FriendlyName"), &friendlyName);
        bag.reset();
        if (!wanted.isEmpty() && wanted != friendlyName) {
            hr = E_ABORT;
            continue;
        }
        hr = moniker->BindToObject(microphone);
        if (Failed(hr))
            continue;
        return graph->AddFilter(*microphone, friendlyName);
    }
    return NothingFound(hr);
}

HRESULT EnableMicrophoneInput(const std::shared_ptr<media::IBaseFilter> &microphone, const QString &text)
{
    if (!microphone)
        return E_NOINTERFACE;
    std::vector<std::shared_ptr<media::Pin>> pins;
    HRESULT hr = microphone->EnumPins(&pins);
    if (Failed(hr))
        return hr;
    // The lines named with text. A PulseAudio source has one active line, so
    // enabling each in turn would leave the last one on: one is chosen.
    std::vector<std::shared_ptr<devices::IAMAudioInputMixer>> lines;
    std::vector<devices::PulsePort> ports; // the lines as ports named by their index
    QString active;
    for (const auto &pin : pins) {
        std::shared_ptr<devices::IAMAudioInputMixer> line;
        if (pin->Direction() != media::PINDIR_INPUT || !pin->Name().contains(text)
            || Failed(media::QueryInterface(pin, &line)))
            continue;
        const QString index = QString::number(lines.size());
        media::BOOL enabled = 0;
        if (Succeeded(line->get_Enable(&enabled)) && enabled)
            active = index;
        lines.push_back(line);
        ports.push_back({index, pin->Name(), line->Plugged()});
    }
    const QString chosen = devices::ChooseInputPort(ports, active, text);
    if (chosen.isEmpty() || chosen == active)
        return S_OK;
    return lines[chosen.toUInt()]->put_Enable(1);
}
