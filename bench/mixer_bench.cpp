// Volume and mute figures, run by hand against a private sound server
// (bench/mixer_bench.sh starts one):
//   mixer_bench [runs]
// 1. Start-up cost of the mixer: what the window's initialisation adds
//    (volume connection, mute mixer connect and first reads, slider level).
// 2. Latency from an outside change (a mute toggle after a volume change, the
//    change that moves the slider) to the slider's new position, for a change
//    written by another libpulse client and for one made by running pactl.
#include "audio/master_mute.h"
#include "controls/my_slider_control.h"
#include "dialog/main_dlg.h"
#include "platform/devices/device_config.h"
#include "platform/mixer/pulse_mixer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

void Print(const char *what, const std::vector<double> &ms)
{
    std::printf("%-58s median %7.2f ms  min %7.2f  max %7.2f  (n=%zu)\n", what, Median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), ms.size());
}

std::vector<double> StartupCost(int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QPushButton button;
        button.setCheckable(true);
        QObject window;
        QElapsedTimer t;
        t.start();
        MasterMute mute;
        mute.InitMuteButton(&button, &window);
        mute.VolumeToSliderLevel();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return ms;
}

// Waits (bounded) until the slider shows level; milliseconds since start, or -1.
double UntilSliderShows(QSlider *slider, int level, const QElapsedTimer &since)
{
    QEventLoop loop;
    double at = -1;
    auto conn = QObject::connect(slider, &QSlider::valueChanged, [&](int v) {
        if (v == level) {
            at = since.nsecsElapsed() / 1e6;
            loop.quit();
        }
    });
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    if (slider->value() != level)
        loop.exec();
    QObject::disconnect(conn);
    return at;
}

std::vector<double> Latency(MainDlg &d, int runs, const std::function<void(bool)> &toggleMute)
{
    mixer::PulseMixer outside;
    outside.WaitConnected(std::chrono::milliseconds(1000));
    std::vector<double> ms;
    bool muted = d.mute.IsMuted();
    for (int i = 0; i < runs; ++i) {
        const int level = 1 + i % 6;
        outside.SetDefaultSinkVolume(std::uint32_t(level) * (mixer::PulseMixer::kNominalVolume / 7));
        QElapsedTimer t;
        t.start();
        muted = !muted;
        toggleMute(muted);
        const double at = UntilSliderShows(d.volumeSlider, level, t);
        if (at >= 0)
            ms.push_back(at);
        // Settle: let the notices of this round arrive before the next one.
        QEventLoop settle;
        QTimer::singleShot(50, &settle, &QEventLoop::quit);
        settle.exec();
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        std::fprintf(stderr, "PULSE_SERVER is unset: run bench/mixer_bench.sh (it starts a private server)\n");
        return 2;
    }
    Print("mixer start-up (connect both, first reads, slider level)", StartupCost(runs));

    devices::DeviceConfig none;
    none.camera.none = true;
    none.microphone.none = true;
    devices::DeviceConfigScope devices(none);
    MainDlg d;
    d.OnInitDialog();
    d.show();

    mixer::PulseMixer writer;
    writer.WaitConnected(std::chrono::milliseconds(1000));
    auto viaClient = [&](bool mute) { writer.SetDefaultSinkMute(mute); };
    std::vector<double> client = Latency(d, runs, viaClient);
    auto viaPactl = [](bool mute) {
        QProcess::startDetached(QStringLiteral("pactl"), {QStringLiteral("set-sink-mute"), QStringLiteral("@DEFAULT_SINK@"),
                                                          mute ? QStringLiteral("1") : QStringLiteral("0")});
    };
    std::vector<double> pactl = Latency(d, runs, viaPactl);
    if (!client.empty())
        Print("outside change (libpulse client) -> slider", client);
    if (!pactl.empty())
        Print("outside change (pactl run, incl. its start) -> slider", pactl);
    // Baseline: pactl's own run, start to exit, with no window listening.
    std::vector<double> alone;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("set-sink-mute"), QStringLiteral("@DEFAULT_SINK@"),
                                                    QStringLiteral("toggle")});
        alone.push_back(t.nsecsElapsed() / 1e6);
    }
    Print("baseline: pactl alone, start to exit", alone);
    std::printf("missed (no slider move within 3 s): client %zu, pactl %zu\n", size_t(runs) - client.size(),
                size_t(runs) - pactl.size());
    return 0;
}
