// Sleep during a recording, run by hand:
//   session_bench [rounds [seconds recorded per round]]
// Time from logind's PrepareForSleep(true) to the release of the program's
// delay inhibitor, per mode, while it records (Solo, Conference, Video, Video
// Tracing with the real face detector following the camera) and while Photo
// shows its live picture: logind's mock on a private system bus, virtual camera
// and tone. Next to it, the time the video recorder alone takes to stop and
// close the same kind of file. logind waits at most InhibitDelayMaxSec (5 s by
// default); the goal is at most 1.5 s in every mode. Also: registering with a
// logind that never answers (start-up and closing must not wait on it).
#include "bench/bench_support.h"
#include "controls/hover_button.h"
#include "dialog/main_dlg.h"
#include "platform/devices/device_config.h"
#include "platform/diag/diagnostics.h"
#include "platform/session/session_notifier.h"
#include "platform/ui/message_box.h"
#include "tests/support/mock_logind.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gst/gst.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

using bench::WaitUntil;

void Pump(int ms) { bench::Pump(ms); }

// Settings, documents and caches of this run stay in a folder of its own.
void PrivateHome()
{
    std::string home = "/tmp/talvora-session-bench-XXXXXX";
    if (!mkdtemp(home.data()))
        return;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

void StartVideoRecording(MainDlg &d)
{
    d.videoRecorder.ReleaseGraph();
    d.videoRecorder.StartRecording(d.Paths().videoFolder, d.wholeFrame, d.leftFrame, d.rightFrame, false);
    d.activity = Recording;
    d.recordButton->SetLatched(true);
}

void Enter(MainDlg &d, int mode)
{
    switch (mode) {
    case Solo: d.OnSolo(); break;
    case Conference: d.OnConference(); break;
    case Video: d.OnVideo(); break;
    case VideoTracing: d.OnVideoTracing(); break;
    default: d.OnPhoto(); break;
    }
}

// PrepareForSleep(true) sent -> logind's list of inhibitors empty, in ms.
double SleepToRelease(testenv::MockLogind &logind)
{
    std::atomic<bool> released{false};
    Clock::time_point releasedAt;
    std::thread watcher([&] {
        const auto give_up = Clock::now() + std::chrono::seconds(20);
        bool answered = false;
        while ((!logind.Inhibitors(&answered).isEmpty() || !answered) && Clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        releasedAt = Clock::now();
        released = true;
    });
    const Clock::time_point sent = Clock::now();
    logind.EmitPrepareForSleep(true);
    WaitUntil([&] { return released.load(); }, 25000);
    watcher.join();
    return std::chrono::duration<double, std::milli>(releasedAt - sent).count();
}

void Report(const char *what, std::vector<double> ms)
{
    if (ms.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.1f ms  min %7.1f  worst %7.1f  (%zu rounds)\n", what, ms[ms.size() / 2], ms.front(),
                ms.back(), ms.size());
}

} // namespace

int main(int argc, char **argv)
{
    PrivateHome();
    // The real face detector, so Video Tracing stops a loop that really detects.
    setenv("TALVORA_PROGRAM_FILES", TALVORA_PRODUCT_PARENT, 0);
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int recordMs = argc > 2 ? std::max(1, std::atoi(argv[2])) * 1000 : 3000;

    testenv::MockLogind logind;
    if (!logind.Ready()) {
        std::fprintf(stderr, "logind mock: %s\n", qPrintable(logind.Error()));
        return 1;
    }
    QStringList deviceArgs{QStringLiteral("--camera=test")};
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        deviceArgs << QStringLiteral("--microphone=test");
    devices::DeviceConfigScope devices(devices::DeviceConfig::Parse(deviceArgs, QString(), QString()));
    ui::RecordingPresenter boxes;
    diag::CaptureScope quiet;
    QSettings(QStringLiteral("Orvenic"), QStringLiteral("Talvora")).setValue(QStringLiteral("ModeState"), 2);

    MainDlg d;
    d.OnInitDialog();
    d.show();
    if (!WaitUntil([&] { return logind.Inhibitors().size() == 1; }, 10000)) {
        std::fprintf(stderr, "no inhibitor taken\n");
        return 1;
    }
    if (!d.faceDetect.IsComplete())
        std::fprintf(stderr, "no face detector under %s: Video Tracing runs without its loop\n", TALVORA_PRODUCT_PARENT);

    static const char *const names[] = {"Solo", "Conference", "Video", "Video Tracing", "Photo (live picture)"};
    std::vector<double> toRelease[kModeCount];
    for (int i = 0; i < rounds; ++i) {
        for (int mode = 0; mode < kModeCount; ++mode) {
            Enter(d, mode);
            Pump(500);
            if (mode != Photo) {
                d.OnRecord();
                if (d.CurrentActivity() != Recording)
                    std::fprintf(stderr, "%s: the recording did not start\n", names[mode]);
            }
            // Tracing: sleep comes at any moment of the loop, inside a detection too.
            Pump(recordMs + (mode == VideoTracing ? 37 * i : 0));
            toRelease[mode].push_back(SleepToRelease(logind));
            logind.EmitPrepareForSleep(false);
            WaitUntil([&] { return logind.Inhibitors().size() == 1 && d.CurrentMode() == mode; }, 10000);
            Pump(1100); // the Record hold
        }
    }
    // The same stop without the bus: the recorder finishing its file.
    std::vector<double> recorderStop;
    Enter(d, Video);
    for (int i = 0; i < rounds; ++i) {
        StartVideoRecording(d);
        Pump(recordMs);
        const Clock::time_point start = Clock::now();
        d.videoRecorder.ReleaseGraph();
        recorderStop.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        d.activity = Idle;
        d.RestoreSavedMode();
    }
    d.close();

    // A logind that never answers: registering and leaving must not wait on it.
    std::vector<double> frozenRegister;
    logind.Freeze(true);
    for (int i = 0; i < rounds; ++i) {
        session::SessionNotifier notifier;
        const Clock::time_point start = Clock::now();
        notifier.Register({});
        notifier.Unregister();
        frozenRegister.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    logind.Freeze(false);
    for (int mode = 0; mode < kModeCount; ++mode)
        Report(qPrintable(QStringLiteral("PrepareForSleep -> release, %1").arg(QLatin1String(names[mode]))),
               toRelease[mode]);
    Report("Video recorder stop alone (ReleaseGraph)", recorderStop);
    Report("register + unregister, logind frozen", frozenRegister);
    std::printf("goal: worst <= 1500 ms in every mode; logind's InhibitDelayMaxSec default: 5000 ms\n");
    return 0;
}
