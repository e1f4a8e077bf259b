#pragma once
// The per-user settings store: QSettings("Orvenic", "Talvora"), which on Linux
// is ~/.config/Orvenic/Talvora.conf. It holds the stored mode, and whether a
// recording running now has muted the speakers (so that a start after a
// crash can give them back).
#include <cstdint>
#include <optional>

namespace settings {

class SettingsStore {
public:
    // The stored "ModeState", or nothing when absent, unreadable or not a
    // 32-bit unsigned integer.
    static std::optional<std::uint32_t> ReadModeState();
    // Writes "ModeState"; false when the store cannot be written.
    static bool WriteModeState(std::uint32_t mode);
    // "MutedForRecording": set while a recording holds the speakers muted.
    static bool ReadMutedForRecording();
    static void WriteMutedForRecording(bool muted);
};

} // namespace settings
