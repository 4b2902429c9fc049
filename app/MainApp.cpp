#include "app/MainApp.h"

#include "platform/clock/Clock.h"
#include "platform/serial/SerialPort.h"
#include "resources/KelvraResources.h"
#include "ui/MainDlg.h"

namespace kelvra {

bool CMainApp::InitInstance() {
    InitCommonControls();
    CWinApp::InitInstance();
    SetRegistryKey("Local AppWizard-Generated Applications");
    platform::UseResources(kelvraResources());
    {
        CMainDlg window(platform::systemSerialBackend(), platform::systemClock());
        m_pMainWnd = &window;
        window.DoModal();
        m_pMainWnd = nullptr;
    }
    // No message loop of the framework's own: the program ends with its window.
    return false;
}

}  // namespace kelvra
