// Talvora: records a webcam and a microphone into time-stamped files.
#include "app/talvora_app.h"
#include "platform/devices/device_config.h"
#include "platform/media/media_runtime.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage: talvora [--camera=SOURCE] [--microphone=SOURCE]\n"
    "\n"
    "Records a webcam and a microphone into time-stamped files under Documents/Talvora.\n"
    "\n"
    "  --camera=SOURCE      add a virtual camera, listed before the real ones (also TALVORA_CAMERA)\n"
    "  --microphone=SOURCE  add a virtual microphone, listed before the real ones (also TALVORA_MICROPHONE)\n"
    "  -h, --help           show this text\n"
    "      --version        show the version\n"
    "\n"
    "SOURCE is 'test' (a generated picture or tone), 'file:PATH' (a media file played in a loop)\n"
    "or 'none' (behave as if there were no such device).\n"
    "\n"
    "TALVORA_DEBUG=1 writes the diagnostics channel (category talvora.debug) to the terminal.\n";

bool Asks(int argc, char **argv, const char *option, const char *shortOption = nullptr)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0 || (shortOption && std::strcmp(argv[i], shortOption) == 0))
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (Asks(argc, argv, "--help", "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (Asks(argc, argv, "--version")) {
        std::fputs("talvora " TALVORA_VERSION "\n", stdout);
        return 0;
    }
    media::InitializeRuntime(&argc, &argv);
    devices::InitDeviceConfig(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvora"));
    QApplication::setOrganizationName(QStringLiteral("Orvenic"));
    QApplication::setDesktopFileName(QStringLiteral("talvora"));
    CTalvoraApp app;
    if (!app.InitInstance())
        return 0;
    return app.Run();
}
