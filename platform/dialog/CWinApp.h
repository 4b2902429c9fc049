#pragma once

#include <string>
#include <string_view>

namespace kelvra::platform {

class CDialog;

// The application object. Exactly one exists at a time (a global of the program); the entry
// point finds it through AfxGetApp() and runs its start-up step.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The start-up step. The framework runs no message loop of its own: when this returns the
    // program ends, so an application runs its main window modally from here.
    virtual bool InitInstance();

    // The application's main window: message boxes belong to it, and its end is the end of
    // the program's windows.
    CDialog* m_pMainWnd = nullptr;

    // The executable's file name without its extension.
    const std::string& GetAppName() const { return appName_; }

protected:
    // Prepares the platform's common controls.
    void InitCommonControls();

    // Registers the settings key `key` (Windows: HKEY_CURRENT_USER\Software\<key> is created if
    // missing; nothing is written). Elsewhere settings are not kept, so nothing is stored.
    void SetRegistryKey(std::string_view key);

private:
    std::string appName_;
};

// The application object, or nullptr before it is constructed.
CWinApp* AfxGetApp();

// The executable's file name without its extension: the title of every message box.
std::string AfxGetAppName();

// The program's entry: main() of each front end returns AfxWinMain(argc, argv). Sets up the
// platform, runs the application object's InitInstance, waits for any worker still running,
// and returns the process exit code.
int AfxWinMain(int argc, char** argv);

}  // namespace kelvra::platform
