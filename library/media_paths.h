#pragma once
// Where captures are stored and how they are named.
//
// Layout: <documents>/Talvora/<mode folder>/<yyyymmdd-hhmmss><extension>, with
// the mode folders "AudioSolo", "AudioConference", "Video", "TVideo", "Photo"
// for modes 0..4. Paths use "/" and every folder path ends in "/".
#include <QString>
#include <array>

namespace library {

inline constexpr int kModeCount = 5;

// Folder name of each mode (0 Solo .. 4 Photo), without separators.
inline const std::array<QString, kModeCount> kModeFolderNames = {
    QStringLiteral("AudioSolo"), QStringLiteral("AudioConference"), QStringLiteral("Video"),
    QStringLiteral("TVideo"), QStringLiteral("Photo")};

// The storage paths, filled once at start by BuildMediaPaths (media_library.h).
struct MediaPaths {
    QString documentsFolder; // no trailing "/"
    QString baseFolder;      // documentsFolder + "/Talvora/"
    QString audioSoloFolder;
    QString audioConferenceFolder;
    QString videoFolder;
    QString tVideoFolder;
    QString photoFolder;
    // The file last given to a player; kept by the transport, not by the library.
    QString currentFilePath;

    // Mode folder of mode 0..4; empty for any other value.
    QString ModeFolder(int mode) const;
};

// The one naming rule of every capture: folder (ending in "/") + local time as
// "%d%02d%02d-%02d%02d%02d" + extension (with its dot), e.g.
// ".../Talvora/AudioSolo/20061231-235959.wma". The time comes from
// shell::LocalClock, which tests pin. Two captures in the same second get the
// same name.
QString MakeCaptureFileName(const QString &folder, const QString &extension);

} // namespace library
