#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "platform/dialog/backend/Backend.h"
#include "platform/dialog/backend/DialogAccess.h"
#include "platform/dialog/backend/Process.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Dialog.h"

namespace kelvra::platform::backend {

namespace {

HWND windowOf(CDialog* dialog) {
    if (dialog == nullptr) {
        return nullptr;
    }
    auto* native = dynamic_cast<win32::Win32Dialog*>(DialogAccess::native(*dialog));
    return native != nullptr ? native->hwnd() : nullptr;
}

// The longest path Windows takes, in UTF-16 units.
constexpr DWORD kLongestPath = 32768;

std::wstring wide(std::string_view text) {
    return toUtf16(std::string(text));
}

}  // namespace

std::unique_ptr<NativeDialog> createDialog(CDialog& dialog, const DialogTemplate& tmpl,
                                           CDialog* owner) {
    auto window = std::make_unique<win32::Win32Dialog>(dialog, windowOf(owner));
    if (!window->create(tmpl.id)) {
        return nullptr;
    }
    return window;
}

int messageBox(CDialog* owner, std::string_view text, std::string_view title, unsigned type) {
    int answer = MessageBoxW(windowOf(owner), wide(text).c_str(), wide(title).c_str(), type);
    // A box that could not be shown (0) was not agreed to: "Are you sure?" must not clear.
    return answer == IDOK ? IDOK : IDCANCEL;
}

// The picker belongs to the window that asked for it, so that window takes no input meanwhile;
// its timers go on.
std::optional<std::string> browseForFolder(std::string_view title) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring prompt = wide(title);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = windowOf(DialogAccess::innermost());
    info.pszDisplayName = displayName;
    info.lpszTitle = prompt.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    std::optional<std::string> chosen;
    if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info)) {
        // A folder deeper than MAX_PATH is taken too: the programs declare long paths.
        std::wstring path(kLongestPath, L'\0');
        if (SHGetPathFromIDListEx(item, path.data(), kLongestPath, GPFIDL_DEFAULT)) {
            path.resize(std::wcslen(path.c_str()));
            chosen = toUtf8(path);
        }
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return chosen;
}

bool changeCurrentDirectory(std::string_view path) {
    return changeProcessDirectory(path);
}

IconHandle loadIcon(int iconId) {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(static_cast<WORD>(iconId)));
    return reinterpret_cast<IconHandle>(icon);
}

std::string loadString(int stringId) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(stringId),
                             reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return {};
    }
    return toUtf8(std::wstring(text, static_cast<std::size_t>(length)));
}

std::string executableName() {
    return processExecutableName();
}

void registerSettingsKey(std::string_view key) {
    HKEY handle = nullptr;
    std::wstring subKey = L"Software\\" + wide(key);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ, nullptr, &handle, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(handle);
    }
}

void initCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

int runProgram(int, char**, const std::function<int()>& run) {
    return run();
}

}  // namespace kelvra::platform::backend
