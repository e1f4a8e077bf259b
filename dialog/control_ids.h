#pragma once
// Control, command and resource identifiers of the main dialog.

namespace ids {
// Mode buttons.
inline constexpr int kSolo = 1017, kConference = 1001, kVideo = 1002, kVideoTracing = 1003, kPhoto = 1004;
// Transport.
inline constexpr int kBackward = 1012, kStop = 1006, kPlay = 1014, kForward = 1013, kRecord = 1016;
inline constexpr int kVolumeUp = 1019, kVolumeDown = 1020, kVolumeSlider = 1021;
inline constexpr int kDeviceMenu = 1018, kShareMenu = 1015;
inline constexpr int kBackdrop = 1030, kSpare = 1032, kMute = 1033;
inline constexpr int kPositionSlider = 1011;
inline constexpr int kWholeFrame = 1022, kLeftFrame = 1024, kRightFrame = 1023;
inline constexpr int kAudioPicture = 1034, kLogo = 1043, kThumbnailList = 1035;
inline constexpr int kLabelSolo = 1038, kLabelConference = 1037, kLabelVideo = 1041, kLabelTracing = 1039,
                     kLabelPhoto = 1042;
// Menu commands.
inline constexpr int kWebcamProperty = 32771, kMicrophoneProperty = 32772, kAttachToMail = 32773,
                     kUploadToFlickr = 32774, kDeleteSelected = 32775;
// Skin bitmaps.
inline constexpr int kBackgroundBitmap = 140, kVideoAreaBitmap = 169, kLogoBitmap = 209;
// The position timer and the graph notification message.
inline constexpr int kPlayTimer = 100;
inline constexpr int kGraphNotify = 0x8001;
} // namespace ids
