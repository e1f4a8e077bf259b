#pragma once
// Asks the optional microphone-array library whether an array is usable.
#include <cstdint>
#include <memory>

// The library file as this platform names it.
inline constexpr const char *kMicArrayLibraryFile = "libMicArrayHelper.so";

// Loads the library into moduleSlot (null on failure) and stores the low byte
// of GetMicArrayStatus() in status. True when the library loaded and the export
// was called.
bool LoadMicArrayStatus(std::shared_ptr<void> &moduleSlot, bool &status);
