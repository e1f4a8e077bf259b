#pragma once
// One factory table for every class id the program creates (the framework's
// CoCreateInstance): graph, capture graph builder, sample grabber, infinite
// tee, colour converter, video renderer, audio renderer, ASF writer and
// reader, DMO wrapper, microphone-array source, and the system device
// enumerator (registered by platform/devices, see RegisterClassFactory).
#include "platform/media/interfaces.h"

#include <functional>
#include <gst/gst.h>
#include <memory>

namespace media {

// Creates an object of class clsid. REGDB_E_CLASSNOTREG for an unknown class;
// a failure code (with a diagnostic naming the missing element) when a
// GStreamer plugin the class needs is not installed.
HRESULT CreateInstance(const Guid &clsid, std::shared_ptr<IUnknown> *out);

// Typed form: creates and asks for interface I (E_NOINTERFACE if it lacks it).
template <class I>
HRESULT CoCreateInstance(const Guid &clsid, std::shared_ptr<I> *out)
{
    if (!out)
        return E_POINTER;
    out->reset();
    std::shared_ptr<IUnknown> object;
    const HRESULT hr = CreateInstance(clsid, &object);
    if (Failed(hr))
        return hr;
    return QueryInterface(object, out);
}

// Adds or replaces a class in the table (e.g. CLSID_SystemDeviceEnum, which
// lives with the devices). Safe from any thread.
using ClassFactory = std::function<HRESULT(std::shared_ptr<IUnknown> *out)>;
void RegisterClassFactory(const Guid &clsid, ClassFactory factory);

// Where the microphone-array source takes its sound from (default: a new
// "pulsesrc"). Lets a configured virtual microphone feed it too. The factory
// returns a new floating element, or null when none is available.
using ElementFactory = std::function<GstElement *()>;
void SetMicArrayInputFactory(ElementFactory factory);

} // namespace media
