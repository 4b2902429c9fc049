#include <io.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <chrono>
#include <cstdio>

#include "platform/console/Console.h"
#include "platform/console/StopRequests.h"
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

// Windows ends the program 5 s after a closed console window (and on logoff and shutdown) at
// the latest; the wait for the job leaves a margin for it.
constexpr std::chrono::milliseconds kEndingWait{4500};

StopRequests& stopRequests() {
    static StopRequests requests(kEndingWait);
    return requests;
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            return stopRequests().request(false) ? TRUE : FALSE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            return stopRequests().request(true) ? TRUE : FALSE;
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
    stopRequests().catchWith(onStop);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void releaseStopRequests() {
    // The waiting handler first: Windows holds its handler list while a handler runs, so taking
    // the handler off the list waits for it to return.
    stopRequests().release();
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

}  // namespace kelvra::platform
