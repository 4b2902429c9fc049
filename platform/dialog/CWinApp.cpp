#include "platform/dialog/CWinApp.h"

#include <string>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/FolderPicker.h"
#include "platform/dialog/MessageBox.h"
#include "platform/dialog/Resources.h"
#include "platform/dialog/WorkerThread.h"
#include "platform/dialog/backend/Backend.h"
#include "platform/dialog/backend/DialogAccess.h"

namespace kelvra::platform {

namespace {

CWinApp* gApp = nullptr;

}  // namespace

CWinApp::CWinApp() : appName_(backend::executableName()) {
    gApp = this;
}

CWinApp::~CWinApp() {
    if (gApp == this) {
        gApp = nullptr;
    }
}

bool CWinApp::InitInstance() {
    return true;
}

void CWinApp::InitCommonControls() {
    backend::initCommonControls();
}

void CWinApp::SetRegistryKey(std::string_view key) {
    backend::registerSettingsKey(key);
}

CWinApp* AfxGetApp() {
    return gApp;
}

std::string AfxGetAppName() {
    return gApp != nullptr ? gApp->GetAppName() : backend::executableName();
}

int AfxWinMain(int argc, char** argv) {
    return backend::runProgram(argc, argv, [] {
        CWinApp* app = AfxGetApp();
        if (app == nullptr) {
            return 1;
        }
        app->InitInstance();
        joinAllWorkers();
        return 0;
    });
}

int AfxMessageBox(std::string_view text, unsigned type) {
    if ((type & MB_ICONMASK) == 0) {
        type |= MB_ICONEXCLAMATION;
    }
    std::string title = AfxGetAppName();
    // The box belongs to the innermost running window, which it disables while it is up.
    auto show = [&] { return backend::messageBox(DialogAccess::innermost(), text, title, type); };
    if (!isWorkerThread()) {
        return show();
    }
    int answer = 0;
    backend::carry([&] { answer = show(); });
    return answer;
}

IconHandle LoadIconResource(int iconId) {
    return backend::loadIcon(iconId);
}

std::string LoadStringResource(int stringId) {
    return backend::loadString(stringId);
}

std::optional<std::string> BrowseForFolder(std::string_view title) {
    return backend::browseForFolder(title);
}

bool ChangeCurrentDirectory(std::string_view path) {
    return backend::changeCurrentDirectory(path);
}

}  // namespace kelvra::platform
