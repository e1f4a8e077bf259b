#pragma once
// Plain data types of the filter graph: 32-bit integer types, rectangles, the
// packed bitmap and video info headers, media types and the constant tables.
#include "platform/media/guid.h"
#include "platform/status/hresult.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = std::int32_t;
using LONG_PTR = std::intptr_t;
using LONGLONG = std::int64_t;
using REFERENCE_TIME = std::int64_t; // 100 ns units

constexpr LONG OATRUE = -1;
constexpr LONG OAFALSE = 0;

// Window styles that BindVideoWindow passes; the video window is always a child.
constexpr LONG WS_CHILD = 0x40000000;
constexpr LONG WS_CLIPCHILDREN = 0x02000000;
constexpr LONG WS_CLIPSIBLINGS = 0x04000000;

constexpr DWORD BI_RGB = 0;

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

// The 40-byte device-independent bitmap header, field for field.
struct BITMAPINFOHEADER {
    DWORD biSize = 0;
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 0;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");

// The 88-byte video info header; bmiHeader starts at byte 48.
struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate = 0;
    DWORD dwBitErrorRate = 0;
    REFERENCE_TIME AvgTimePerFrame = 0;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88, "VIDEOINFOHEADER must be 88 bytes");
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48, "bmiHeader must start at byte 48");

// Row stride of a bottom-up DIB: whole pixels padded to 4 bytes.
constexpr LONG DibStride(LONG width, LONG bitCount) { return ((width * bitCount + 31) / 32) * 4; }

// A media type. The format block is owned by the value (no separate free is
// needed; FreeMediaType empties it, as the engines' steps say).
struct AM_MEDIA_TYPE {
    Guid majortype;
    Guid subtype;
    BOOL bFixedSizeSamples = 0;
    BOOL bTemporalCompression = 0;
    ULONG lSampleSize = 0;
    Guid formattype;
    std::vector<BYTE> format;

    ULONG cbFormat() const { return static_cast<ULONG>(format.size()); }
    const BYTE *pbFormat() const { return format.empty() ? nullptr : format.data(); }
    BYTE *pbFormat() { return format.empty() ? nullptr : format.data(); }
    // The video info header when formattype is FORMAT_VideoInfo and the block
    // holds at least 88 bytes; null otherwise.
    VIDEOINFOHEADER *VideoInfo();
    const VIDEOINFOHEADER *VideoInfo() const;
    // Replaces the format block with a copy of vih and sets FORMAT_VideoInfo.
    void SetVideoInfo(const VIDEOINFOHEADER &vih);
};

inline void FreeMediaType(AM_MEDIA_TYPE &mt)
{
    mt.format.clear();
    mt.formattype = GUID_NULL;
}

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
using OAFilterState = LONG;

// Graph event codes (GetEvent).
constexpr LONG EC_COMPLETE = 0x01;
constexpr LONG EC_USERABORT = 0x02;
constexpr LONG EC_ERRORABORT = 0x03;
constexpr LONG EC_DEVICE_LOST = 0x1F;

// The notification message the players ask for (WM_APP + 1).
constexpr LONG WM_APP = 0x8000;
constexpr LONG WM_GRAPHNOTIFY = WM_APP + 1;

// Seeking flags (SetPositions).
constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
constexpr DWORD AM_SEEKING_IncrementalPositioning = 0x3;
constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;
constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;

constexpr REFERENCE_TIME UNITS = 10000000; // 100 ns units per second

} // namespace media
