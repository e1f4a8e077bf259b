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
    "\n"
    "SOURCE is 'test' (a generated picture or tone), 'file:PATH' (a media file played in a loop)\n"
    "or 'none' (behave as if there were no such device).\n";

bool WantsHelp(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (WantsHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
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
