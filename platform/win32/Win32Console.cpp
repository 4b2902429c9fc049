#include <io.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <cstdio>

#include "platform/console/Console.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

std::vector<std::string> commandLineArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(toUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

void useUtf8Output() {
    SetConsoleOutputCP(CP_UTF8);
}

namespace {

void (*stopHandler)() = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (stopHandler == nullptr) {
        return FALSE;
    }
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            stopHandler();
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

ErrorTerminal standardErrorTerminal() {
    ErrorTerminal terminal;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (_isatty(_fileno(stderr)) != 0 &&
        GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        terminal.redraws = true;
        terminal.columns = info.srWindow.Right - info.srWindow.Left + 1;
    }
    return terminal;
}

bool standardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

void catchStopRequests(void (*onStop)()) {
    stopHandler = onStop;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void releaseStopRequests() {
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    stopHandler = nullptr;
}

}  // namespace kelvra::platform
