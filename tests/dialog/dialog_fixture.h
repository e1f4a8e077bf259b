#pragma once
// A main dialog set up the way the application object does it, with message
// boxes recorded instead of shown.
#include "dialog/main_dlg.h"
#include "tests/audio/pulse_test_util.h"
#include "platform/devices/device_config.h"
#include "platform/diag/diagnostics.h"
#include "platform/ui/message_box.h"
#include "tests/support/test_environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using testenv::PumpFor;
using testenv::PumpUntil;

class DialogTest : public ::testing::Test {
protected:
    // Every test starts like a first run: no stored mode, no captures.
    void SetUp() override
    {
        // The dialog opens the sound server's mixer: outside a test run that
        // started a private daemon, it must find none rather than the user's.
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            qputenv("PULSE_SERVER", "unix:/nonexistent/talvora-test/native");
        else // the run's daemon is shared by every test: start from speakers that are on
            pulsetest::SetSinkMute(qEnvironmentVariable("PULSE_SERVER"), false);
        QSettings(QStringLiteral("Orvenic"), QStringLiteral("Talvora")).clear();
        QDir(QDir::homePath() + QStringLiteral("/Documents/Talvora")).removeRecursively();
    }

    void StoreMode(const QVariant &value)
    {
        QSettings store(QStringLiteral("Orvenic"), QStringLiteral("Talvora"));
        store.setValue(QStringLiteral("ModeState"), value);
        store.sync();
    }
    QVariant StoredMode() const
    {
        QSettings store(QStringLiteral("Orvenic"), QStringLiteral("Talvora"));
        return store.value(QStringLiteral("ModeState"));
    }
    MainDlg &Open()
    {
        dialog = std::make_unique<MainDlg>();
        dialog->OnInitDialog();
        dialog->show();
        return *dialog;
    }

    static devices::DeviceConfig NoDevices()
    {
        devices::DeviceConfig config;
        config.camera.none = true;
        config.microphone.none = true;
        return config;
    }

    // The machine's own camera and microphone are never opened by these tests;
    // a test that wants a picture installs virtual devices of its own.
    devices::DeviceConfigScope devicesScope{NoDevices()};
    ui::RecordingPresenter boxes;
    diag::CaptureScope debug;
    std::unique_ptr<MainDlg> dialog;
};
