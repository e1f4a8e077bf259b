#pragma once
// CTalvoraApp: the application object. One copy runs at a time; it creates the
// hidden frame and runs the main dialog modally.
#include <memory>

class CMainFrame;
class MainDlg;
namespace process {
class InstanceLock;
class SignalWatcher;
} // namespace process

class CTalvoraApp {
public:
    CTalvoraApp();
    virtual ~CTalvoraApp();

    // The start-up sequence; false ends the process at once (exit status 0).
    bool InitInstance();
    // Runs the message loop until the hidden frame is closed.
    int Run();
    void OnAppAbout();

    std::unique_ptr<process::InstanceLock> instanceMutex;

private:
    std::unique_ptr<CMainFrame> mainFrame_;
    std::unique_ptr<process::SignalWatcher> signals_;
    MainDlg *dialog_ = nullptr;
};
