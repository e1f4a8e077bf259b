#include "platform/settings/settings_store.h"

#include <QSettings>
#include <limits>

namespace settings {
namespace {
const QString kOrganization = QStringLiteral("Orvenic");
const QString kApplication = QStringLiteral("Talvora");
const QString kModeState = QStringLiteral("ModeState");
const QString kMutedForRecording = QStringLiteral("MutedForRecording");

// A REG_DWORD stand-in: only plain decimal text of a 32-bit unsigned value counts.
std::optional<std::uint32_t> ParseDword(const QVariant &value)
{
    if (!value.isValid() || value.userType() == QMetaType::QStringList)
        return std::nullopt;
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qulonglong number = text.toULongLong(&ok, 10);
    if (!ok || number > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(number);
}
} // namespace

std::optional<std::uint32_t> SettingsStore::ReadModeState()
{
    QSettings store(kOrganization, kApplication);
    if (store.status() != QSettings::NoError)
        return std::nullopt;
    return ParseDword(store.value(kModeState));
}

bool SettingsStore::WriteModeState(std::uint32_t mode)
{
    QSettings store(kOrganization, kApplication);
    if (!store.isWritable())
        return false;
    store.setValue(kModeState, static_cast<qulonglong>(mode));
    store.sync();
    return store.status() == QSettings::NoError;
}

bool SettingsStore::ReadMutedForRecording()
{
    QSettings store(kOrganization, kApplication);
    return store.status() == QSettings::NoError && ParseDword(store.value(kMutedForRecording)).value_or(0) == 1;
}

void SettingsStore::WriteMutedForRecording(bool muted)
{
    QSettings store(kOrganization, kApplication);
    // Most calls find nothing to change, and then the file is left alone.
    if (!store.isWritable() || store.contains(kMutedForRecording) == muted)
        return;
    if (muted)
        store.setValue(kMutedForRecording, 1);
    else
        store.remove(kMutedForRecording);
}

} // namespace settings
