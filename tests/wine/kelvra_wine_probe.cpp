// Reads the block panels of Kelvra's running main window, then closes the window: the wine
// test's eyes and hand. Prints "<control id> <text>" for labels 1003 to 1006 (UTF-8) once a
// serial-number label shows something, or "box <text>" for a message box of the tool.
// Exit status: 0 when the panels were read and the window closed, 1 when no panel filled
// within the time given (seconds, first argument; 60 by default), 2 when the window did not
// close, 3 when the tool showed a message box (which the probe then answers).
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "resources/ResourceIds.h"

namespace {

constexpr wchar_t kTitle[] = L"Kelvra";
constexpr int kMessageBoxText = 0xFFFF;  // the static that holds a message box's text
constexpr UINT kAnswerWaitMs = 5000;

void writeLine(const std::wstring& line) {
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

// Asked of the tool's own thread, which may be busy in a serial exchange for a while.
std::wstring controlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    if (control == nullptr) {
        return {};
    }
    wchar_t buffer[256] = {};
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(control, WM_GETTEXT, sizeof buffer / sizeof buffer[0],
                            reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, kAnswerWaitMs,
                            &copied) == 0) {
        return {};
    }
    return std::wstring(buffer, copied);
}

struct ToolWindows {
    HWND main = nullptr;
    std::vector<HWND> boxes;
};

BOOL CALLBACK collect(HWND window, LPARAM param) {
    wchar_t title[64] = {};
    if (GetWindowTextW(window, title, 64) == 0 || std::wcscmp(title, kTitle) != 0 ||
        !IsWindowVisible(window)) {
        return TRUE;
    }
    auto& found = *reinterpret_cast<ToolWindows*>(param);
    if (GetDlgItem(window, kelvra::IDC_READ_SELECTED) != nullptr) {
        found.main = window;
    } else {
        found.boxes.push_back(window);
    }
    return TRUE;
}

bool closeAndWait(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(window); ++i) {
        Sleep(100);
    }
    return !IsWindow(window);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    HWND main = nullptr;
    while (GetTickCount64() < deadline) {
        ToolWindows found;
        EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
        if (!found.boxes.empty()) {
            // Every message box of the tool at start-up is a failure: it is told and answered.
            HWND box = found.boxes.front();
            writeLine(L"box " + controlText(box, kMessageBoxText));
            closeAndWait(box);
            return 3;
        }
        main = found.main;
        if (main != nullptr && (!controlText(main, kelvra::IDC_SERIAL_A).empty() ||
                                !controlText(main, kelvra::IDC_SERIAL_B).empty())) {
            for (int id = kelvra::IDC_SERIAL_A; id <= kelvra::IDC_FIRMWARE_B; ++id) {
                writeLine(std::to_wstring(id) + L" " + controlText(main, id));
            }
            return closeAndWait(main) ? 0 : 2;
        }
        Sleep(200);
    }
    writeLine(main != nullptr ? L"the panels stayed empty" : L"no main window");
    if (main != nullptr) {
        closeAndWait(main);
    }
    return 1;
}
