#pragma once
// Class, interface, media-type and category identifiers. The values are the
// published ones, so graph code can name objects exactly as the framework does.
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string_view>

namespace media {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, any
    // hex case). In a constant expression a malformed text is a compile error.
    static constexpr Guid Parse(std::string_view text)
    {
        Guid g;
        if (!TryParse(text, &g))
            throw std::invalid_argument("malformed GUID text");
        return g;
    }
    static constexpr bool TryParse(std::string_view text, Guid *out)
    {
        if (text.size() == 38 && text.front() == '{' && text.back() == '}')
            text = text.substr(1, 36);
        if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
            return false;
        std::uint8_t bytes[16] = {};
        std::size_t n = 0;
        for (std::size_t i = 0; i < text.size(); i += (text[i] == '-') ? 1 : 2) {
            if (text[i] == '-')
                continue;
            const int hi = HexValue(text[i]);
            const int lo = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            if (hi < 0 || lo < 0 || n >= 16)
                return false;
            bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
        }
        if (n != 16)
            return false;
        out->data1 = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16)
            | (std::uint32_t(bytes[2]) << 8) | bytes[3];
        out->data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
        out->data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
        for (int i = 0; i < 8; ++i)
            out->data4[i] = bytes[8 + i];
        return true;
    }
    // Run-time parse of any text; a null GUID when malformed.
    static Guid FromString(const QString &text);

    constexpr bool IsNull() const { return *this == Guid{}; }
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
    QString ToString() const;

    friend constexpr bool operator==(const Guid &, const Guid &) = default;
    friend constexpr auto operator<=>(const Guid &, const Guid &) = default;

private:
    static constexpr int HexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }
};

struct GuidHash {
    std::size_t operator()(const Guid &g) const noexcept;
};

using CLSID = Guid;
using IID = Guid;
using REFGUID = const Guid &;
inline constexpr Guid GUID_NULL{};

// Graph objects.
inline constexpr Guid CLSID_FilterGraph = Guid::Parse("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid CLSID_CaptureGraphBuilder2 = Guid::Parse("{BF87B6E1-8C27-11D0-B3F0-00AA003761C5}");
inline constexpr Guid CLSID_SystemDeviceEnum = Guid::Parse("{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}");
inline constexpr Guid CLSID_VideoInputDeviceCategory = Guid::Parse("{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
inline constexpr Guid CLSID_AudioInputDeviceCategory = Guid::Parse("{33D9A762-90C8-11D0-BD43-00A0C911CE86}");

// Filters.
inline constexpr Guid CLSID_SampleGrabber = Guid::Parse("{C1F400A0-3F08-11D3-9F0B-006008039E37}");
inline constexpr Guid CLSID_InfTee = Guid::Parse("{F8388A40-D5BB-11D0-BE5A-0080C706568E}");
inline constexpr Guid CLSID_Colour = Guid::Parse("{1643E180-90F5-11CE-97D5-00AA0055595A}");
inline constexpr Guid CLSID_VideoRenderer = Guid::Parse("{70E102B0-5556-11CE-97C0-00AA0055595A}");
inline constexpr Guid CLSID_DSoundRender = Guid::Parse("{79376820-07D0-11CF-A24D-0020AFD79767}");
inline constexpr Guid CLSID_WMAsfWriter = Guid::Parse("{7C23220E-55BB-11D3-8B16-00C04FB6BD3D}");
inline constexpr Guid CLSID_WMAsfReader = Guid::Parse("{187463A0-5BB7-11D3-ACBE-0080C75E246E}");
inline constexpr Guid CLSID_DMOWrapperFilter = Guid::Parse("{94297043-BD82-4DFD-B0DE-8177739C6D20}");
inline constexpr Guid CLSID_MicArraySource = Guid::Parse("{0B4DB334-3824-4EAD-A6EE-BFFB61EF5554}");

// Decoder objects hosted by the DMO wrapper, and their categories.
inline constexpr Guid CLSID_CWMVDecMediaObject = Guid::Parse("{82D353DF-90BD-4382-8BC2-3F6192B76E34}");
inline constexpr Guid CLSID_CWMADecMediaObject = Guid::Parse("{2EEB4ADF-4578-4D10-BCA7-BB955F56320A}");
inline constexpr Guid DMOCATEGORY_VIDEO_DECODER = Guid::Parse("{4A69B442-28BE-4991-969C-B500ADF5D8A8}");
inline constexpr Guid DMOCATEGORY_AUDIO_DECODER = Guid::Parse("{57F2DB8B-E6BB-4513-9D43-DCD2A6593125}");

// Media types.
inline constexpr Guid MEDIATYPE_Video = Guid::Parse("{73646976-0000-0010-8000-00AA00389B71}");
inline constexpr Guid MEDIATYPE_Audio = Guid::Parse("{73647561-0000-0010-8000-00AA00389B71}");
inline constexpr Guid MEDIATYPE_Stream = Guid::Parse("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_RGB24 = Guid::Parse("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_RGB32 = Guid::Parse("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid MEDIASUBTYPE_PCM = Guid::Parse("{00000001-0000-0010-8000-00AA00389B71}");
inline constexpr Guid MEDIASUBTYPE_Asf = Guid::Parse("{3DB80F90-9412-11D1-ADED-0000F8754B99}");
inline constexpr Guid FORMAT_VideoInfo = Guid::Parse("{05589F80-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FORMAT_WaveFormatEx = Guid::Parse("{05589F81-C356-11CE-BF01-00AA0055595A}");

// Pin categories and time formats.
inline constexpr Guid PIN_CATEGORY_CAPTURE = Guid::Parse("{FB6C4281-0353-11D1-905F-0000C0CC16BA}");
inline constexpr Guid PIN_CATEGORY_PREVIEW = Guid::Parse("{FB6C4282-0353-11D1-905F-0000C0CC16BA}");
inline constexpr Guid TIME_FORMAT_MEDIA_TIME = Guid::Parse("{7B785574-8C82-11CF-BC0C-00AA00AC74F6}");

// Windows Media 8 system profiles of the file writer.
inline constexpr Guid WMProfile_V80_64StereoAudio = Guid::Parse("{09BB5BC4-3176-457F-8DD6-3CD919123E2D}");
inline constexpr Guid WMProfile_V80_700NTSCVideo = Guid::Parse("{C8C2985F-E5D9-4538-9E23-9B21BF78F745}");

} // namespace media
