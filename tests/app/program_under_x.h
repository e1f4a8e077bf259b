#pragma once
// The real program on a real X server, driven the way a person does it:
// clicks at the controls' pixel positions, screenshots of the window, and the
// files found in the capture folders afterwards.
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <gtest/gtest.h>
#include <functional>

namespace under_x {

// The 628 x 447 window centred on the 1280 x 800 screen (no window manager).
constexpr int kOriginX = 640 - 314, kOriginY = 400 - 223;
// Transport buttons are 28 x 28 at y 375.
inline const QPoint kBackward(170 + 14, 389), kStop(200 + 14, 389), kRecord(230 + 14, 389), kPlay(260 + 14, 389);
inline const QRect kSlider(160, 340, 430, 15), kPlayButton(260, 375, 28, 28), kWholeView(160, 80, 336, 252);

class ProgramUnderX : public ::testing::Test {
protected:
    void SetUp() override;    // skips without TALVORA_E2E_DISPLAY; clears the capture folders
    void TearDown() override; // a program still running must end cleanly on SIGTERM

public:
    // Starts the program in a mode with a moving camera pattern and the given
    // microphone; Start also waits until the window is up and answers.
    void Launch(int mode, const QString &microphone = QStringLiteral("test"));
    void Start(int mode, const QString &microphone = QStringLiteral("test"));
    // Waits for the window and its start-up message, and closes the message.
    void DismissStartMessage();
    // Ends it the way a crash or a power cut would.
    void KillHard();
    // Runs xdotool on the program's display; what it printed.
    QByteArray Xdotool(const QStringList &args);
    // The program's windows on the screen (the dialog, and a message box over it).
    int VisibleWindows();
    void Click(QPoint p);
    // The window's client area as seen on the screen.
    QImage Shot();
    QString Folder(const char *folder) const;
    QStringList Captures(const char *folder, const char *ext) const;
    // Exactly one capture there, and its writer has finished it (no marker).
    bool Finished(const char *folder, const char *ext) const;

    QString display;
    QProcess run;
};

int Differing(const QImage &a, const QImage &b, const QRect &r);
// The window shows its skin (not yet painted, it is black).
bool Painted(const QImage &shot);
double DurationSeconds(const QString &file);
bool WaitFor(const std::function<bool()> &done, int ms);

} // namespace under_x
