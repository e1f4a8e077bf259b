// Talvora: records a webcam and a microphone into time-stamped files.
#include "app/talvora_app.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvora"));
    QApplication::setOrganizationName(QStringLiteral("Orvenic"));
    QApplication::setDesktopFileName(QStringLiteral("talvora"));
    CTalvoraApp app;
    if (!app.InitInstance())
        return 0;
    return app.Run();
}
