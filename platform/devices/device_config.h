#pragma once
// Which virtual capture devices the process offers, read once from the command
// line and the environment. Virtual devices make every mode usable on a machine
// without a camera or microphone and make the tests deterministic.
//
//   --camera=SOURCE      or TALVORA_CAMERA=SOURCE       (the command line wins)
//   --microphone=SOURCE  or TALVORA_MICROPHONE=SOURCE
//
// SOURCE is one of
//   test[:OPTIONS]  a live test source (a test pattern / a tone); OPTIONS is a
//                   comma list: pattern=N|NAME, wave=N|NAME (the generator's
//                   own numbers or names, e.g. ball, snow, smpte; sine,
//                   square), freq=HZ, fail=N (the first N
//                   connection attempts of the device's output pin fail, counted
//                   over every filter bound from it; for tests of retry logic)
//   file:PATH       a media file decoded in a loop
//   none            no device of this class at all: real devices are hidden too
// A repeated --camera / --microphone option adds a second virtual device after
// the first (tests use it for "the first listed device wins").
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace devices {

enum class DeviceKind { Video, Audio };

struct VirtualSource {
    enum class Type { Test, File };
    Type type = Type::Test;
    QString path;          // File: the media file
    int pattern = 0;       // Test video: videotestsrc pattern
    int wave = 0;          // Test audio: audiotestsrc wave
    double frequency = 440.0;
    int failConnects = 0;  // connection attempts of the output pin that fail
    QString spec;          // the text it was parsed from
};

struct DeviceClassConfig {
    bool none = false;                   // "none": hide every device of the class
    std::vector<VirtualSource> virtuals; // listed first, in this order
};

struct DeviceConfig {
    DeviceClassConfig camera;
    DeviceClassConfig microphone;

    const DeviceClassConfig &For(DeviceKind kind) const
    {
        return kind == DeviceKind::Video ? camera : microphone;
    }

    // Parses the options out of args (argv as text) and env values; anything
    // unknown is ignored. A bad SOURCE is reported in *errors and skipped.
    static DeviceConfig Parse(const QStringList &args, const QString &cameraEnv,
                              const QString &microphoneEnv, QStringList *errors = nullptr);
};

// Parses one SOURCE text; nullopt with *error set when it is not understood.
// "none" is not a source: callers test for it first.
std::optional<VirtualSource> ParseVirtualSource(const QString &text, DeviceKind kind,
                                                QString *error = nullptr);

// The process-wide configuration. Initialise once at start-up from argv and
// the environment; before that (or without it) the environment alone is used.
DeviceConfig CurrentDeviceConfig();
void InitDeviceConfig(int argc, char **argv);
// Replaces the configuration (tests); returns the previous one. Virtual
// devices start afresh (settings, failure counts) with each configuration.
DeviceConfig SetDeviceConfig(const DeviceConfig &config);
// Changes each time the configuration is set.
int DeviceConfigGeneration();

// Sets the configuration while it lives and restores the previous one after.
class DeviceConfigScope {
public:
    explicit DeviceConfigScope(const DeviceConfig &config) : previous_(SetDeviceConfig(config)) {}
    ~DeviceConfigScope() { SetDeviceConfig(previous_); }
    DeviceConfigScope(const DeviceConfigScope &) = delete;
    DeviceConfigScope &operator=(const DeviceConfigScope &) = delete;

private:
    DeviceConfig previous_;
};

} // namespace devices
