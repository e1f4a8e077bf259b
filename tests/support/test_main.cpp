// Test entry point: a private home for the process, a QApplication on the
// offscreen platform unless told otherwise, and GStreamer initialised.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string MakePrivateHome()
{
    const char *base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/talvora-test-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        return "/tmp";
    return tmpl;
}

void SetUpEnvironment()
{
    const std::string home = MakePrivateHome();
    const std::string runtime = home + "/run";
    mkdir(runtime.c_str(), 0700);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    setenv("QT_QPA_PLATFORM", std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen", 1);
    // The private home would make every test process rebuild GStreamer's
    // plugin registry (seconds); share one cache instead.
    if (!std::getenv("GST_REGISTRY"))
        setenv("GST_REGISTRY", ("/tmp/talvora-test-gst-registry-" + std::to_string(getuid()) + ".bin").c_str(), 1);
    // Tests must never wait on a real device or dialog by accident.
    unsetenv("TALVORA_CAMERA");
    unsetenv("TALVORA_MICROPHONE");
    // Nor on the machine's logind: a test that wants one starts its own bus.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + home + "/no-system-bus").c_str(), 1);
    unsetenv("XDG_SESSION_ID");
}

} // namespace

int main(int argc, char **argv)
{
    SetUpEnvironment();
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QDir(QDir::homePath()).removeRecursively();
    return result;
}
