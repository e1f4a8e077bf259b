#include "audio/master_mute.h"

#include "platform/diag/diagnostics.h"
#include "platform/mixer/pulse_mixer.h"

#include <QAbstractButton>
#include <atomic>

namespace {

using namespace std::chrono_literals;

// How long opening a mixer may wait for the server; a local server answers in
// a few milliseconds, an absent one fails at once.
constexpr auto kOpenBound = 500ms;
constexpr int kLevels = 7;

std::atomic<std::uint32_t> rememberedMaximum{0};

void Debug(const char *text) { diag::OutputDebugString(QLatin1String(text)); }

} // namespace

// The volume connection starts at once, so its hand-shake overlaps whatever
// the owner does before the first volume operation.
MasterMute::MasterMute() : volumeLine_(std::make_unique<mixer::PulseMixer>()) {}
MasterMute::~MasterMute() = default;

mixer::PulseMixer &MasterMute::VolumeLine()
{
    volumeLine_->WaitConnected(kOpenBound); // at once after the first attempt
    return *volumeLine_;
}

// Opens the speaker line and finds its volume control, writing the text of
// the step that fails.
std::optional<mixer::SpeakerLine> MasterMute::LookUpVolumeControl()
{
    mixer::PulseMixer &line = VolumeLine();
    if (!line.Connected()) {
        Debug("mixerOpen() failed");
        return std::nullopt;
    }
    auto sink = line.DefaultSink();
    if (!sink) {
        Debug("mixerGetLineInfo() failed");
        return std::nullopt;
    }
    if (!sink->hasVolume) {
        Debug("mixerGetLineControls() failed");
        return std::nullopt;
    }
    return sink;
}

std::uint32_t MasterMute::GetMasterVolume()
{
    const auto sink = LookUpVolumeControl();
    return sink ? sink->volume : kVolumeFailed;
}

std::uint32_t MasterMute::SetMasterVolume(std::uint32_t value)
{
    if (!LookUpVolumeControl())
        return rememberedMaximum;
    const std::uint32_t maximum = mixer::PulseMixer::kNominalVolume;
    rememberedMaximum = maximum;
    if (value < maximum)
        VolumeLine().SetDefaultSinkVolume(value);
    return maximum;
}

std::uint32_t MasterMute::GetVolumeStep() { return SetMasterVolume(GetMasterVolume()) / kLevels; }

int MasterMute::SliderLevelFor(std::uint32_t v, std::uint32_t m)
{
    const std::uint32_t step = m / kLevels;
    if (v <= 1)
        return 0;
    for (int k = 1; k < kLevels; ++k)
        if (v <= k * step)
            return k;
    // Above the nominal maximum the speakers are louder than the top
    // position, not silent: the top position it is.
    return v == kVolumeFailed ? 0 : kLevels;
}

int MasterMute::VolumeToSliderLevel()
{
    const std::uint32_t v = GetMasterVolume();
    const std::uint32_t m = SetMasterVolume(v);
    return SliderLevelFor(v, m);
}

std::uint32_t MasterMute::RememberedMaximum() { return rememberedMaximum; }

bool MasterMute::InitMuteButton(QAbstractButton *button, QObject *window)
{
    muteButton = button;
    if (!OpenMuteMixer(window)) {
        Debug("Mute amdInitialize fail");
        return false;
    }
    if (!FindMasterMuteControl()) {
        Debug("Mute amdGetMasterMuteControl fail");
        return false;
    }
    bool value = false;
    if (!GetMuteValue(&value)) {
        Debug("Mute amdGetMasterMuteValue fail");
        return false;
    }
    muted = value;
    ShowMuted();
    return true;
}

bool MasterMute::OpenMuteMixer(QObject *window)
{
    mixerHandle.reset();
    deviceCaps.clear();
    lineName.clear();
    controlName.clear();
    muteControlId = 0;
    // The server is the one mixer device; no server, no device.
    auto opened = std::make_unique<mixer::PulseMixer>(window);
    deviceCount = opened->WaitConnected(kOpenBound) ? 1 : 0;
    if (deviceCount == 0)
        return true;
    const auto sink = opened->DefaultSink();
    if (!sink)
        return false;
    deviceCaps = sink->description;
    mixerHandle = std::move(opened);
    return true;
}

bool MasterMute::FindMasterMuteControl()
{
    if (!mixerHandle)
        return false;
    const auto sink = mixerHandle->DefaultSink();
    if (!sink)
        return false;
    lineName = sink->description;
    controlName = QStringLiteral("Mute");
    muteControlId = mixer::PulseMixer::kMuteControlId;
    return true;
}

bool MasterMute::GetMuteValue(bool *value)
{
    if (!mixerHandle || !value)
        return false;
    const auto sink = mixerHandle->DefaultSink();
    if (!sink)
        return false;
    *value = sink->mute;
    return true;
}

bool MasterMute::SetMuteValue(bool value)
{
    return mixerHandle && mixerHandle->SetDefaultSinkMute(value);
}

void MasterMute::MuteOn()
{
    if (muted)
        return;
    muted = true;
    SetMuteValue(true);
    ShowMuted();
}

void MasterMute::MuteOff()
{
    if (!muted)
        return;
    muted = false;
    SetMuteValue(false);
    ShowMuted();
}

void MasterMute::ShowMuted()
{
    if (muteButton)
        muteButton->setChecked(muted);
}

std::uint64_t MasterMute::MixerId() const { return mixerHandle ? mixerHandle->Id() : 0; }
