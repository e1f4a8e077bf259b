#include "platform/media/guid.h"

namespace media {

Guid Guid::FromString(const QString &text)
{
    const QByteArray ascii = text.trimmed().toLatin1();
    Guid g;
    if (!TryParse(std::string_view(ascii.constData(), static_cast<std::size_t>(ascii.size())), &g))
        return Guid{};
    return g;
}

QString Guid::ToString() const
{
    return QString::asprintf("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, data2, data3,
        data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6], data4[7]);
}

std::size_t GuidHash::operator()(const Guid &g) const noexcept
{
    std::size_t h = g.data1;
    h = h * 1000003u ^ g.data2;
    h = h * 1000003u ^ g.data3;
    for (std::uint8_t b : g.data4)
        h = h * 1000003u ^ b;
    return h;
}

} // namespace media
