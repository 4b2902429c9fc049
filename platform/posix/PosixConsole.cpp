#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/console/Console.h"

namespace kelvra::platform {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void (*stopHandler)() = nullptr;

// The stop signals this program caught; one that was ignored when it started (nohup, or a job
// started in the background by a shell without job control) stays ignored, as whoever started
// the program asked.
bool caught[std::size(kStopSignals)] = {};

extern "C" void onStopSignal(int) {
    if (stopHandler != nullptr) {
        stopHandler();
    }
}

void setDisposition(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void useUtf8Output() {}

ErrorTerminal standardErrorTerminal() {
    ErrorTerminal terminal;
    if (isatty(STDERR_FILENO) == 0) {
        return terminal;
    }
    const char* type = std::getenv("TERM");
    terminal.redraws = type != nullptr && *type != '\0' && std::strcmp(type, "dumb") != 0;
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        terminal.columns = size.ws_col;
    }
    return terminal;
}

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

void catchStopRequests(void (*onStop)()) {
    stopHandler = onStop;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        struct sigaction current {};
        caught[i] =
            ::sigaction(kStopSignals[i], nullptr, &current) == 0 && current.sa_handler != SIG_IGN;
        if (caught[i]) {
            setDisposition(kStopSignals[i], onStopSignal);
        }
    }
    setDisposition(SIGPIPE, SIG_IGN);
}

void releaseStopRequests() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        if (caught[i]) {
            setDisposition(kStopSignals[i], SIG_DFL);
            caught[i] = false;
        }
    }
    stopHandler = nullptr;
}

}  // namespace kelvra::platform
